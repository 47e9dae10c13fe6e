// EArray<T>: the growable array of plain records that holds nearly every
// list of the system. Elements are copied as bytes (no constructor or
// destructor of T ever runs), storage comes from Malloc, and failures are
// reported through return values.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/emem.h"

struct EArrayProbe;

template <class T>
class EArray {
  static_assert(std::is_trivially_copyable_v<T>, "EArray copies its elements as bytes");

 public:
  // A grow step of 0 or less means 128. The first storage holds grow-step
  // elements; when it cannot be had the array starts empty with no storage
  // and its first Add tries again.
  explicit EArray(int32_t growStep = 128) {
    m_growStep = growStep > 0 ? growStep : 128;
    m_items = Allocate(m_growStep);
    m_capacity = m_items ? m_growStep : 0;
  }
  virtual ~EArray() { Free(m_items); }

  // A shallow copy would free the storage twice.
  EArray(const EArray &) = delete;
  EArray &operator=(const EArray &) = delete;

  // Appends a copy of item and returns its index, or -1 when the storage
  // had to grow and could not (the array is then unchanged). The storage
  // grows by the grow step, and the grow step then becomes the new capacity,
  // so from the first growth on the capacity doubles. item may be an element
  // of this very array.
  int32_t Add(const T &item) {
    if (m_count == m_capacity) {
      int64_t wanted = int64_t(m_capacity) + m_growStep;
      if (wanted > INT32_MAX) return -1;
      T *grown = Allocate(int32_t(wanted));
      if (!grown) return -1;
      if (m_count > 0) std::memcpy(static_cast<void *>(grown), m_items, Bytes(m_count));
      // Copied before the old storage goes, in case item lives in it.
      std::memcpy(static_cast<void *>(grown + m_count), &item, sizeof(T));
      Free(m_items);
      m_items = grown;
      m_capacity = int32_t(wanted);
      m_growStep = m_capacity;
    } else {
      std::memmove(static_cast<void *>(m_items + m_count), &item, sizeof(T));
    }
    ++m_changes;
    return m_count++;
  }

  // Sets the count to n and returns it. Growing beyond the capacity makes
  // room for n + grow-step elements; when that allocation fails the count
  // stops at the capacity, which is then returned. Elements between the old
  // and the new count are zero in new storage and keep their old bytes
  // otherwise. A negative n changes nothing and returns the current count.
  int32_t SetSize(int32_t n) {
    if (n < 0) return m_count;
    if (n > m_capacity) {
      int64_t wanted = int64_t(n) + m_growStep;
      T *grown = wanted <= INT32_MAX ? Allocate(int32_t(wanted)) : nullptr;
      if (grown) {
        if (m_count > 0) std::memcpy(static_cast<void *>(grown), m_items, Bytes(m_count));
        Free(m_items);
        m_items = grown;
        m_capacity = int32_t(wanted);
      } else {
        n = m_capacity;
      }
    }
    m_count = n;
    ++m_changes;
    return n;
  }

  // Removes n elements from index on; a range that reaches the end just cuts
  // the tail. Nothing happens for n <= 0 or an index outside the array.
  void RemoveAt(int32_t index, int32_t n = 1) {
    if (n <= 0 || index < 0 || index >= m_count) return;
    if (n < m_count - index) {
      std::memmove(static_cast<void *>(m_items + index), m_items + index + n,
                   Bytes(m_count - index - n));
      m_count -= n;
    } else {
      m_count = index;
    }
    ++m_changes;
  }

  // Empties the array; the storage stays for reuse.
  void RemoveAll() {
    m_count = 0;
    ++m_changes;
  }

  // Drops the last n elements (all of them when n reaches the count); a
  // negative n changes nothing.
  void ShrinkBy(int32_t n) {
    if (n < 0) return;
    m_count = n < m_count ? m_count - n : 0;
    ++m_changes;
  }

  // A number that moves with every call above and SetAt, and with
  // MarkChanged: whoever keeps something derived from the elements (an
  // index, a cache) rebuilds it when the number is not the one it saw.
  // Writes through GetData() are not seen; their writer calls MarkChanged.
  uint32_t Changes() const { return m_changes; }
  void MarkChanged() { ++m_changes; }

  int32_t GetCount() const { return m_count; }
  bool IsEmpty() const { return m_count == 0; }
  // The elements in order; valid until the storage next grows.
  T *GetData() { return m_items; }
  const T *GetData() const { return m_items; }

  // The caller guarantees 0 <= index < count.
  T GetAt(int32_t index) const {
    assert(index >= 0 && index < m_count);
    return m_items[index];
  }
  // Ignored for an index outside the array.
  void SetAt(int32_t index, const T &item) {
    if (index >= 0 && index < m_count) {
      std::memmove(static_cast<void *>(m_items + index), &item, sizeof(T));
      ++m_changes;
    }
  }

 private:
  friend struct EArrayProbe;

  static size_t Bytes(int32_t n) { return size_t(n) * sizeof(T); }
  static T *Allocate(int32_t n) {
    int64_t bytes = int64_t(n) * int64_t(sizeof(T));
    if (bytes > INT32_MAX) return nullptr;
    return static_cast<T *>(Malloc(int32_t(bytes)));
  }

  T *m_items = nullptr;
  int32_t m_capacity = 0;
  int32_t m_count = 0;
  int32_t m_growStep = 128;
  uint32_t m_changes = 0;
};
