// Builds small SoundFont 2 banks for the tests: samples of 16-bit PCM,
// instruments and presets of zones, each zone a list of generators (the
// instrument or sample generator last, as banks are written).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cx::synth::test {

struct Sf2Gen {
  uint16_t oper;
  uint16_t amount;
};
inline Sf2Gen Gen(int oper, int value) { return {uint16_t(oper), uint16_t(int16_t(value))}; }
inline Sf2Gen Range(int oper, int lo, int hi) { return {uint16_t(oper), uint16_t(lo | (hi << 8))}; }

struct Sf2Sample {
  std::string name;
  std::vector<int16_t> pcm;
  uint32_t loopStart = 0, loopEnd = 0;  // from the sample's first frame
  uint32_t rate = 44100;
  uint8_t pitch = 60;
  int8_t correction = 0;
  // Moves the header's end past the data, for damage.
  uint32_t endBeyond = 0;
};

struct Sf2Item {
  std::string name;
  int program = 0, bank = 0;  // presets only
  std::vector<std::vector<Sf2Gen>> zones;
};

class Sf2Writer {
 public:
  static std::vector<uint8_t> Build(const std::vector<Sf2Sample>& samples,
                                    const std::vector<Sf2Item>& instruments,
                                    const std::vector<Sf2Item>& presets) {
    std::vector<uint8_t> smpl, shdr;
    for (const Sf2Sample& s : samples) {
      const uint32_t start = static_cast<uint32_t>(smpl.size() / 2);
      for (int16_t v : s.pcm) Le(&smpl, uint16_t(v), 2);
      for (int i = 0; i < 46; ++i) Le(&smpl, 0, 2);
      Name(&shdr, s.name);
      Le(&shdr, start, 4);
      Le(&shdr, start + uint32_t(s.pcm.size()) + s.endBeyond, 4);
      Le(&shdr, start + s.loopStart, 4);
      Le(&shdr, start + s.loopEnd, 4);
      Le(&shdr, s.rate, 4);
      shdr.push_back(s.pitch);
      shdr.push_back(uint8_t(s.correction));
      Le(&shdr, 0, 2);
      Le(&shdr, 1, 2);
    }
    Name(&shdr, "EOS");
    shdr.resize(shdr.size() + 26, 0);

    std::vector<uint8_t> phdr, pbag, pgen, inst, ibag, igen;
    Items(instruments, false, &inst, &ibag, &igen);
    Items(presets, true, &phdr, &pbag, &pgen);
    const std::vector<uint8_t> noMods(10, 0);

    std::vector<uint8_t> info = Id("INFO");
    Chunk(&info, "ifil", {2, 0, 1, 0});
    Chunk(&info, "INAM", {'T', 'e', 's', 't', 0, 0});
    std::vector<uint8_t> sdta = Id("sdta");
    Chunk(&sdta, "smpl", smpl);
    std::vector<uint8_t> pdta = Id("pdta");
    Chunk(&pdta, "phdr", phdr);
    Chunk(&pdta, "pbag", pbag);
    Chunk(&pdta, "pmod", noMods);
    Chunk(&pdta, "pgen", pgen);
    Chunk(&pdta, "inst", inst);
    Chunk(&pdta, "ibag", ibag);
    Chunk(&pdta, "imod", noMods);
    Chunk(&pdta, "igen", igen);
    Chunk(&pdta, "shdr", shdr);
    std::vector<uint8_t> body = Id("sfbk");
    Chunk(&body, "LIST", info);
    Chunk(&body, "LIST", sdta);
    Chunk(&body, "LIST", pdta);
    std::vector<uint8_t> out;
    Chunk(&out, "RIFF", body);
    return out;
  }

 private:
  static void Le(std::vector<uint8_t>* out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(uint8_t(v >> (8 * i)));
  }
  static std::vector<uint8_t> Id(const char* id) { return std::vector<uint8_t>(id, id + 4); }
  static void Name(std::vector<uint8_t>* out, const std::string& name) {
    std::string n = name.substr(0, 19);
    n.resize(20, '\0');
    out->insert(out->end(), n.begin(), n.end());
  }
  static void Chunk(std::vector<uint8_t>* out, const char* id, const std::vector<uint8_t>& body) {
    out->insert(out->end(), id, id + 4);
    Le(out, uint32_t(body.size()), 4);
    out->insert(out->end(), body.begin(), body.end());
    if (body.size() & 1) out->push_back(0);
  }
  static void Items(const std::vector<Sf2Item>& items, bool presets, std::vector<uint8_t>* headers,
                    std::vector<uint8_t>* bags, std::vector<uint8_t>* gens) {
    size_t bagCount = 0, genCount = 0;
    auto header = [&](const std::string& name, int program, int bank) {
      Name(headers, name);
      if (presets) {
        Le(headers, uint32_t(program), 2);
        Le(headers, uint32_t(bank), 2);
      }
      Le(headers, uint32_t(bagCount), 2);
      if (presets) headers->resize(headers->size() + 12, 0);
    };
    for (const Sf2Item& item : items) {
      header(item.name, item.program, item.bank);
      for (const auto& zone : item.zones) {
        Le(bags, uint32_t(genCount), 2);
        Le(bags, 0, 2);
        ++bagCount;
        for (const Sf2Gen& g : zone) {
          Le(gens, g.oper, 2);
          Le(gens, g.amount, 2);
          ++genCount;
        }
      }
    }
    header(presets ? "EOP" : "EOI", 0, 0);
    Le(bags, uint32_t(genCount), 2);
    Le(bags, 0, 2);
    Le(gens, 0, 4);
  }
};

}  // namespace cx::synth::test
