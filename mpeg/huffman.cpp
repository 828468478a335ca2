#include "mpeg/huffman.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cx::mpeg {
namespace {

// Longest code per table.
constexpr uint32_t kMaxLength[kHuffmanTableCount] = {
    0, 3, 6, 6, 0, 8, 7, 10, 11, 9, 11, 11, 10, 19, 0, 13, 17,
    17, 17, 17, 17, 17, 17, 17, 12, 12, 12, 12, 12, 12, 12, 12, 6, 4};
// Width of the first lookup: most codes of a granule are short.
constexpr uint32_t kFirstLevelBits = 8;

constexpr uint8_t kHop = 250;

struct ParsedTable {
  HuffmanTable record{};
  std::vector<uint8_t> tree;  // node pairs, only while loading
  std::vector<uint32_t> lookup;
};

// Reads the node pairs of one data line: blank-separated hexadecimal bytes.
std::vector<uint8_t> ParseTreeLine(const char* line, uint32_t nodeCount) {
  std::vector<uint8_t> tree(2 * nodeCount, 0);
  const char* p = line;
  for (uint32_t i = 0; i < 2 * nodeCount; ++i) {
    char* end = nullptr;
    unsigned long v = std::strtoul(p, &end, 16);
    if (end == p) break;  // the line ended early: the rest stays (0, 0)
    tree[i] = static_cast<uint8_t>(v);
    p = end;
  }
  return tree;
}

// Follows one bit from node k, through hop nodes where a jump was too long
// for one byte.
uint32_t Step(const std::vector<uint8_t>& tree, uint32_t k, uint32_t bit) {
  uint32_t jump = tree[2 * k + bit];
  while (jump >= kHop) {
    k += jump;
    if (2 * k + 1 >= tree.size()) return k;
    jump = tree[2 * k + bit];
  }
  return k + jump;
}

struct Code {
  uint32_t bits, length, symbol;
};

void CollectCodes(const std::vector<uint8_t>& tree, uint32_t node, uint32_t bits, uint32_t length,
                  uint32_t limit, std::vector<Code>* out) {
  if (2 * node + 1 >= tree.size() || tree[2 * node] == 0) {
    out->push_back({bits, length, 2 * node + 1 < tree.size() ? tree[2 * node + 1] : 0u});
    return;
  }
  if (length >= limit) return;
  CollectCodes(tree, Step(tree, node, 0), bits << 1, length + 1, limit, out);
  CollectCodes(tree, Step(tree, node, 1), (bits << 1) | 1, length + 1, limit, out);
}

// The first lookup of 'first' bits, then one second-level table per
// prefix of longer codes, as wide as the longest code behind it needs.
std::vector<uint32_t> BuildLookup(const std::vector<uint8_t>& tree, uint32_t maxLength, uint32_t first) {
  std::vector<Code> codes;
  CollectCodes(tree, 0, 0, 0, maxLength, &codes);
  // Bit patterns of no code (none in the standard's tables) use all bits.
  std::vector<uint32_t> lookup(size_t{1} << first, first << 8);
  std::vector<uint32_t> longest(size_t{1} << first, 0);
  for (const Code& c : codes) {
    if (c.length <= first) {
      const uint32_t from = c.bits << (first - c.length);
      for (uint32_t k = 0; k < (1u << (first - c.length)); ++k) lookup[from + k] = c.symbol | c.length << 8;
    } else {
      uint32_t& l = longest[c.bits >> (c.length - first)];
      if (c.length > l) l = c.length;
    }
  }
  for (uint32_t prefix = 0; prefix < longest.size(); ++prefix) {
    if (longest[prefix] == 0) continue;
    const uint32_t width = longest[prefix] - first;
    const size_t at = lookup.size();
    lookup.resize(at + (size_t{1} << width), longest[prefix] << 8);
    lookup[prefix] = kHuffmanSubtable | width << 16 | static_cast<uint32_t>(at);
  }
  for (const Code& c : codes) {
    if (c.length <= first) continue;
    const uint32_t e = lookup[c.bits >> (c.length - first)];
    const uint32_t width = (e >> 16) & 31;
    const uint32_t rest = c.bits & ((1u << (c.length - first)) - 1);
    const uint32_t from = (e & 0xFFFF) + (rest << (first + width - c.length));
    for (uint32_t k = 0; k < (1u << (first + width - c.length)); ++k) lookup[from + k] = c.symbol | c.length << 8;
  }
  return lookup;
}

struct TableSet {
  ParsedTable parsed[kHuffmanTableCount];
  HuffmanTable records[kHuffmanTableCount];

  TableSet() {
    int line = 0;
    while (line < kHuffmanTableTextLines && HuffmanTableText[line][0] == '#') ++line;
    for (int t = 0; t < kHuffmanTableCount && line < kHuffmanTableTextLines; ++t) {
      HuffmanTable& r = parsed[t].record;
      char command[16] = {}, name[16] = {};
      unsigned nodes = 0, xlen = 0, ylen = 0, linbits = 0;
      std::sscanf(HuffmanTableText[line++], "%15s %15s %u %u %u %u", command, name,
                  &nodes, &xlen, &ylen, &linbits);
      std::snprintf(r.name, sizeof r.name, "%s", name);
      r.nodeCount = nodes;
      r.xlen = xlen;
      r.ylen = ylen;
      r.linbits = linbits;
      r.linmax = (1u << linbits) - 1;
      unsigned reference = 0;
      std::sscanf(HuffmanTableText[line++], "%15s %u", command, &reference);
      if (std::strcmp(command, ".td") != 0) {
        r.reference = static_cast<int32_t>(reference);
        continue;
      }
      r.reference = -1;
      if (nodes != 0) parsed[t].tree = ParseTreeLine(HuffmanTableText[line++], nodes);
    }
    for (int t = 0; t < kHuffmanTableCount; ++t) {
      HuffmanTable& r = parsed[t].record;
      if (r.reference >= 0 && r.reference < t) {
        const HuffmanTable& from = parsed[r.reference].record;
        r.maxLength = from.maxLength;
        r.lookupBits = from.lookupBits;
        r.lookup = from.lookup;
      } else if (!parsed[t].tree.empty()) {
        r.maxLength = kMaxLength[t];
        r.lookupBits = r.maxLength < kFirstLevelBits ? r.maxLength : kFirstLevelBits;
        parsed[t].lookup = BuildLookup(parsed[t].tree, r.maxLength, r.lookupBits);
        r.lookup = parsed[t].lookup.data();
      }
      parsed[t].tree.clear();
      parsed[t].tree.shrink_to_fit();
      records[t] = r;
    }
  }
};

}  // namespace

const HuffmanTable* LoadHuffmanTables() {
  // Built once per process; the tables are constant afterwards, so any
  // number of streams may share them.
  static const TableSet tables;
  return tables.records;
}

}  // namespace cx::mpeg
