// EMap<K,V>: chained hash map from a pointer or handle to a pointer-sized
// value. Nodes are carved from blocks allocated a few at a time and recycled
// through a free list; an emptied map gives all its memory back.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/emem.h"

// Node blocks. A block is one Malloc allocation: a pointer to the block
// allocated before it (the chain runs newest first), then n nodes of
// nodeSize bytes. Blocks are only ever freed all together.
constexpr int32_t kNodePoolHeader = int32_t(sizeof(void *));

inline void *NodePoolNodes(void *block) { return static_cast<char *>(block) + kNodePoolHeader; }

// Allocates a block and links it at the head of the chain; null when memory
// is short or the sizes are not positive.
inline void *NodePoolAllocBlock(void **head, int32_t n, int32_t nodeSize) {
  if (!head || n <= 0 || nodeSize <= 0) return nullptr;
  int64_t bytes = kNodePoolHeader + int64_t(n) * nodeSize;
  if (bytes > INT32_MAX) return nullptr;
  void *block = Malloc(int32_t(bytes));
  if (!block) return nullptr;
  std::memcpy(block, head, sizeof(void *));
  *head = block;
  return block;
}

inline void NodePoolFreeChain(void *head) {
  while (head) {
    void *previous;
    std::memcpy(&previous, head, sizeof(void *));
    Free(head);
    head = previous;
  }
}

struct EMapProbe;

template <class K, class V>
class EMap {
  static_assert(std::is_trivially_copyable_v<K> && std::is_trivially_copyable_v<V>,
                "EMap keeps its keys and values as plain bytes");
  static_assert(sizeof(K) <= sizeof(uintptr_t), "EMap keys are pointers or handles");

 public:
  // nodesPerBlock nodes are allocated at a time (10 when not positive).
  explicit EMap(int32_t nodesPerBlock = 10) : m_nodesPerBlock(nodesPerBlock > 0 ? nodesPerBlock : 10) {}
  ~EMap() { RemoveAll(); }

  EMap(const EMap &) = delete;
  EMap &operator=(const EMap &) = delete;

  // Sets the number of buckets and, when allocate is set, allocates the
  // bucket array at once (otherwise the first insertion does). Nodes are not
  // rehashed, so a map that holds keys refuses; so does a bucket count below
  // 1. False when refused or when the bucket array could not be allocated
  // (the count is kept and the first insertion tries again).
  bool InitHashTable(int32_t bucketCount, bool allocate = true) {
    if (bucketCount <= 0 || m_count > 0) return false;
    Free(m_buckets);
    m_buckets = nullptr;
    m_bucketCount = bucketCount;
    if (!allocate) return true;
    m_buckets = AllocateBuckets();
    return m_buckets != nullptr;
  }

  // The value of key, inserted as 0 when missing. When memory for the new
  // entry cannot be had, the key stays absent (Lookup keeps answering false)
  // and the reference is to a zeroed spare slot of the map, so a store
  // through it goes nowhere.
  V &operator[](K key) {
    uint32_t bucket;
    if (Node *node = GetAssocAt(key, bucket)) return node->value;
    if (!m_buckets && !(m_buckets = AllocateBuckets())) return Spare();
    Node *node = NewAssoc();
    if (!node) {
      if (m_count == 0) RemoveAll();
      return Spare();
    }
    node->bucket = bucket;
    node->key = key;
    node->next = m_buckets[bucket];
    m_buckets[bucket] = node;
    return node->value;
  }

  bool Lookup(K key, V &value) const {
    uint32_t bucket;
    const Node *node = GetAssocAt(key, bucket);
    if (!node) return false;
    value = node->value;
    return true;
  }

  bool RemoveKey(K key) {
    if (!m_buckets) return false;
    for (Node **link = &m_buckets[BucketOf(key)]; *link; link = &(*link)->next) {
      if ((*link)->key == key) {
        Node *node = *link;
        *link = node->next;
        FreeAssoc(node);
        return true;
      }
    }
    return false;
  }

  // Empties the map and releases every block; the bucket count stays.
  void RemoveAll() {
    Free(m_buckets);
    m_buckets = nullptr;
    m_count = 0;
    m_free = nullptr;
    NodePoolFreeChain(m_blocks);
    m_blocks = nullptr;
  }

 private:
  friend struct EMapProbe;

  struct Node {
    Node *next;
    uint32_t bucket;
    K key;
    V value;
  };
  static_assert(alignof(Node) <= size_t(kNodePoolHeader), "nodes follow the block's chain pointer");

  // A pointer's low 4 bits carry little, being mostly alignment.
  uint32_t BucketOf(K key) const {
    uintptr_t bits = 0;
    std::memcpy(&bits, &key, sizeof(K));
    return uint32_t((bits >> 4) % uint32_t(m_bucketCount));
  }

  Node *GetAssocAt(K key, uint32_t &bucket) const {
    bucket = BucketOf(key);
    if (!m_buckets) return nullptr;
    for (Node *node = m_buckets[bucket]; node; node = node->next)
      if (node->key == key) return node;
    return nullptr;
  }

  Node *NewAssoc() {
    if (!m_free) {
      void *block = NodePoolAllocBlock(&m_blocks, m_nodesPerBlock, int32_t(sizeof(Node)));
      if (!block) return nullptr;
      // Pushed last to first so that the lowest-addressed node goes out first.
      Node *nodes = static_cast<Node *>(NodePoolNodes(block));
      for (int32_t i = m_nodesPerBlock - 1; i >= 0; --i) {
        nodes[i].next = m_free;
        m_free = &nodes[i];
      }
    }
    Node *node = m_free;
    m_free = node->next;
    ++m_count;
    std::memset(static_cast<void *>(&node->key), 0, sizeof(K));
    std::memset(static_cast<void *>(&node->value), 0, sizeof(V));
    return node;
  }

  void FreeAssoc(Node *node) {
    node->next = m_free;
    m_free = node;
    if (--m_count == 0) RemoveAll();
  }

  Node **AllocateBuckets() const {
    int64_t bytes = int64_t(m_bucketCount) * int64_t(sizeof(Node *));
    if (bytes > INT32_MAX) return nullptr;
    return static_cast<Node **>(Malloc(int32_t(bytes)));
  }

  V &Spare() {
    std::memset(static_cast<void *>(&m_spare), 0, sizeof(V));
    return m_spare;
  }

  Node **m_buckets = nullptr;
  int32_t m_bucketCount = 17;
  int32_t m_count = 0;
  Node *m_free = nullptr;
  void *m_blocks = nullptr;
  int32_t m_nodesPerBlock;
  V m_spare;
};
