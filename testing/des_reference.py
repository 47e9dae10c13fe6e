#!/usr/bin/env python3
"""Reference model of the file cipher, written bit by bit for clarity, not speed.

The system's cipher is DES in electronic-codebook mode with three departures
from the published standard, kept so that existing files stay readable:
  1. the 64 bits of a block or key are numbered from the least significant
     bit of the first byte (bit 1 is value 1 of byte 0, bit 9 is value 1 of
     byte 1), and results are packed back the same way;
  2. the 4-bit value an S-box yields is unpacked least significant bit first;
  3. the halves are not exchanged after the last round.
Deciphering a block takes the first half after the initial permutation as R,
runs the rounds with the keys in reverse and writes R, L back before the final
permutation. A key text of more than 8 characters gives two-key triple DES
(encipher with key 1, decipher with key 2, encipher with key 1).

Container: int32 version 1, uint32 plain length, the 16-byte key text
enciphered with itself, then the plain text enciphered and padded with zero
bytes to a multiple of 8 (the chunking of 10240 bytes does not show in the
bytes).

Run it to regenerate tests/core/des_vectors.h:
    python3 testing/des_reference.py > tests/core/des_vectors.h
Before writing anything it checks the standard form of the model (all three
departures switched off) against published answers and, when the Python
package "cryptography" is there, against its DES over many random blocks.
"""

import os
import random
import struct
import sys

IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
      62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
      57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
      61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7]
FP = [40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
      38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
      36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
      34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9, 49, 17, 57, 25]
E = [32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9, 8, 9, 10, 11, 12, 13,
     12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25,
     24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1]
P = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
     2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25]
PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18,
       10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
       63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
       14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4]
PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10,
       23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
       41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
       44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32]
SHIFTS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1]
S = [
    [[14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7],
     [0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8],
     [4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0],
     [15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13]],
    [[15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10],
     [3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5],
     [0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15],
     [13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9]],
    [[10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8],
     [13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1],
     [13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7],
     [1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12]],
    [[7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15],
     [13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9],
     [10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4],
     [3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14]],
    [[2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9],
     [14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6],
     [4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14],
     [11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3]],
    [[12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11],
     [10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8],
     [9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6],
     [4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13]],
    [[4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1],
     [13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6],
     [1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2],
     [6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12]],
    [[13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7],
     [1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2],
     [7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8],
     [2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11]],
]


class Model:
    """One DES block cipher; variant=False gives the published standard."""

    def __init__(self, variant=True):
        self.variant = variant

    # Bits are lists of 0/1, index 0 holding the standard's bit 1.
    def to_bits(self, data):
        bits = []
        for byte in data:
            for k in range(8):
                if self.variant:
                    bits.append((byte >> k) & 1)        # least significant first
                else:
                    bits.append((byte >> (7 - k)) & 1)  # most significant first
        return bits

    def from_bits(self, bits):
        out = bytearray()
        for i in range(0, len(bits), 8):
            byte = 0
            for k in range(8):
                if bits[i + k]:
                    byte |= (1 << k) if self.variant else (1 << (7 - k))
            out.append(byte)
        return bytes(out)

    @staticmethod
    def permute(bits, table):
        return [bits[t - 1] for t in table]

    def schedule(self, key8):
        assert len(key8) == 8
        k = self.permute(self.to_bits(key8), PC1)
        c, d = k[:28], k[28:]
        keys = []
        for s in SHIFTS:
            c = c[s:] + c[:s]
            d = d[s:] + d[:s]
            keys.append(self.permute(c + d, PC2))
        return keys

    def f(self, r, k):
        x = [a ^ b for a, b in zip(self.permute(r, E), k)]
        out = []
        for i in range(8):
            six = x[6 * i:6 * i + 6]
            row = six[0] * 2 + six[5]
            col = six[1] * 8 + six[2] * 4 + six[3] * 2 + six[4]
            v = S[i][row][col]
            if self.variant:
                out += [(v >> 0) & 1, (v >> 1) & 1, (v >> 2) & 1, (v >> 3) & 1]
            else:
                out += [(v >> 3) & 1, (v >> 2) & 1, (v >> 1) & 1, (v >> 0) & 1]
        return self.permute(out, P)

    def encipher(self, block, keys):
        b = self.permute(self.to_bits(block), IP)
        l, r = b[:32], b[32:]
        for k in keys:
            l, r = r, [a ^ c for a, c in zip(l, self.f(r, k))]
        pre = (l + r) if self.variant else (r + l)
        return self.from_bits(self.permute(pre, FP))

    def decipher(self, block, keys):
        b = self.permute(self.to_bits(block), IP)
        if self.variant:
            r, l = b[:32], b[32:]
            for k in reversed(keys):
                l, r = r, [a ^ c for a, c in zip(l, self.f(r, k))]
            pre = r + l
        else:
            # The standard deciphers by running the same network with the
            # keys reversed.
            l, r = b[:32], b[32:]
            for k in reversed(keys):
                l, r = r, [a ^ c for a, c in zip(l, self.f(r, k))]
            pre = r + l
        return self.from_bits(self.permute(pre, FP))


class FileCipher:
    """The key text and the whole-file container."""

    def __init__(self, key_text):
        key = key_text.encode('ascii')[:16]
        self.key_text = key + bytes(16 - len(key))
        self.two_key = len(key) > 8
        self.m = Model(True)
        self.k1 = self.m.schedule(self.key_text[:8])
        self.k2 = self.m.schedule(self.key_text[8:]) if self.two_key else None

    def enc_block(self, b):
        if not self.two_key:
            return self.m.encipher(b, self.k1)
        return self.m.encipher(self.m.decipher(self.m.encipher(b, self.k1), self.k2), self.k1)

    def dec_block(self, b):
        if not self.two_key:
            return self.m.decipher(b, self.k1)
        return self.m.decipher(self.m.encipher(self.m.decipher(b, self.k1), self.k2), self.k1)

    def enc(self, data):
        assert len(data) % 8 == 0
        return b''.join(self.enc_block(data[i:i + 8]) for i in range(0, len(data), 8))

    def dec(self, data):
        assert len(data) % 8 == 0
        return b''.join(self.dec_block(data[i:i + 8]) for i in range(0, len(data), 8))

    def container(self, plain):
        padded = plain + bytes((-len(plain)) % 8)
        return struct.pack('<iI', 1, len(plain)) + self.enc(self.key_text) + self.enc(padded)


def self_check():
    std = Model(False)
    published = [  # key, plain, cipher
        ('133457799BBCDFF1', '0123456789ABCDEF', '85E813540F0AB405'),
        ('0E329232EA6D0D73', '8787878787878787', '0000000000000000'),
        ('0123456789ABCDEF', '4E6F772069732074', '3FA40E8A984D4815'),
    ]
    for key, plain, cipher in published:
        ks = std.schedule(bytes.fromhex(key))
        assert std.encipher(bytes.fromhex(plain), ks).hex().upper() == cipher, key
        assert std.decipher(bytes.fromhex(cipher), ks).hex().upper() == plain, key
    try:
        from cryptography.hazmat.decrepit.ciphers.algorithms import TripleDES
        from cryptography.hazmat.primitives.ciphers import Cipher, modes
    except ImportError:
        print('note: package "cryptography" missing; checked published answers only', file=sys.stderr)
        return
    rng = random.Random(46)
    for _ in range(400):
        key = bytes(rng.randrange(256) for _ in range(8))
        block = bytes(rng.randrange(256) for _ in range(8))
        lib = Cipher(TripleDES(key * 3), modes.ECB()).encryptor()  # one key thrice: single DES
        expect = lib.update(block) + lib.finalize()
        assert std.encipher(block, std.schedule(key)) == expect, (key.hex(), block.hex())
    # The variant model must invert itself.
    var = Model(True)
    for _ in range(100):
        key = bytes(rng.randrange(256) for _ in range(8))
        block = bytes(rng.randrange(256) for _ in range(8))
        ks = var.schedule(key)
        assert var.decipher(var.encipher(block, ks), ks) == block


def fnv1a64(data):
    h = 0xcbf29ce484222325
    for b in data:
        h ^= b
        h = (h * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return h


# The plain text of the container vectors: byte i is pattern(i mod 104), a
# period of 13 distinct blocks, so that 10240-byte chunks (1280 blocks) do not
# line up with it.
PERIOD = 104


def pattern_byte(i):
    return ((i % PERIOD) * 37 + 11) & 0xFF


def plain_of(size):
    return bytes(pattern_byte(i) for i in range(size))


def c_bytes(data):
    return '{' + ', '.join('0x%02x' % b for b in data) + '}'


BLOCK_KEYS = ['k', 'abcdefgh', 'abcdefghi', 'Z3ry7Q!m9@Lp0x#W', 'abcdefghabcdefgh']
BLOCK_PLAINS = ['0000000000000000', 'ffffffffffffffff', '0123456789abcdef', '0102040810204080']
CONTAINER_KEYS = ['Q4-wide!', 'M8kP2rT6vX1zN5bH']
SIZES = [0, 10240, 10241]


def main():
    self_check()
    out = []
    w = out.append
    w('// Generated by testing/des_reference.py, an independent bit-level model')
    w('// of the file cipher; regenerate with')
    w('//   python3 testing/des_reference.py > tests/core/des_vectors.h')
    w('#pragma once')
    w('')
    w('#include <cstdint>')
    w('')
    w('namespace des_vectors {')
    w('')
    w('struct BlockVector {')
    w('  const char *key;')
    w('  uint8_t plain[8];')
    w('  uint8_t cipher[8];')
    w('};')
    w('')
    w('inline constexpr BlockVector kBlocks[] = {')
    for key in BLOCK_KEYS:
        fc = FileCipher(key)
        for p in BLOCK_PLAINS:
            pb = bytes.fromhex(p)
            cb = fc.enc_block(pb)
            assert fc.dec_block(cb) == pb
            w('    {"%s", %s, %s},' % (key, c_bytes(pb), c_bytes(cb)))
    w('};')
    w('')
    w('// Plain byte i of the container vectors.')
    w('constexpr uint8_t PatternByte(uint32_t i) { return uint8_t((i %% %d) * 37 + 11); }' % PERIOD)
    w('inline constexpr uint32_t kPatternBlocks = %d;' % (PERIOD // 8))
    w('')
    w('struct ContainerVector {')
    w('  const char *key;')
    w('  uint8_t keyText[16];     // the key text enciphered: header bytes 8-23')
    w('  uint8_t pattern[%d][8];  // the cipher of each pattern block' % (PERIOD // 8))
    w('  uint8_t tail[8];         // the cipher of the last, zero-padded block of 10241 bytes')
    w('  uint64_t fnv[%d];         // FNV-1a 64 of the whole container for each size' % len(SIZES))
    w('};')
    w('')
    w('inline constexpr uint32_t kSizes[%d] = {%s};' % (len(SIZES), ', '.join(str(s) for s in SIZES)))
    w('')
    w('inline constexpr ContainerVector kContainers[] = {')
    for key in CONTAINER_KEYS:
        fc = FileCipher(key)
        pat = plain_of(PERIOD)
        blocks = [fc.enc_block(pat[i:i + 8]) for i in range(0, PERIOD, 8)]
        tail_plain = plain_of(10241)[10240:] + bytes(7)
        digests = []
        for size in SIZES:
            plain = plain_of(size)
            box = fc.container(plain)
            assert len(box) == 24 + ((size + 7) // 8) * 8
            body = box[24:]
            assert fc.dec(body)[:size] == plain
            digests.append(fnv1a64(box))
        w('    {"%s",' % key)
        w('     %s,' % c_bytes(fc.enc(fc.key_text)))
        w('     {%s},' % ', '.join(c_bytes(b) for b in blocks))
        w('     %s,' % c_bytes(fc.enc_block(tail_plain)))
        w('     {%s}},' % ', '.join('0x%016xull' % d for d in digests))
    w('};')
    w('')
    w('}  // namespace des_vectors')
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
