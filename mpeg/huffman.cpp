#include "mpeg/huffman.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cx::mpeg {
namespace {

// Lookup width per table: the length of its longest code.
constexpr uint32_t kLookupBits[kHuffmanTableCount] = {
    0, 3, 6, 6, 0, 8, 7, 10, 11, 9, 11, 11, 10, 19, 0, 13, 17,
    17, 17, 17, 17, 17, 17, 17, 12, 12, 12, 12, 12, 12, 12, 12, 6, 4};

constexpr uint8_t kHop = 250;

struct ParsedTable {
  HuffmanTable record{};
  std::vector<uint8_t> tree;  // node pairs, only while loading
  std::vector<uint16_t> lookup;
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

std::vector<uint16_t> BuildLookup(const std::vector<uint8_t>& tree, uint32_t bits) {
  std::vector<uint16_t> lookup(size_t{1} << bits);
  for (uint32_t index = 0; index < lookup.size(); ++index) {
    uint32_t node = 0;
    uint32_t taken = 0;
    while (2 * node + 1 < tree.size() && tree[2 * node] != 0 && taken < 32) {
      uint32_t bit = taken < bits ? (index >> (bits - 1 - taken)) & 1 : 0;
      ++taken;
      node = Step(tree, node, bit);
    }
    uint32_t symbol = 2 * node + 1 < tree.size() ? tree[2 * node + 1] : 0;
    lookup[index] = static_cast<uint16_t>(symbol | (taken << 8));
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
        r.lookupBits = from.lookupBits;
        r.lookup = from.lookup;
      } else if (!parsed[t].tree.empty()) {
        r.lookupBits = kLookupBits[t];
        parsed[t].lookup = BuildLookup(parsed[t].tree, r.lookupBits);
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
