#include "tools/assets/sidtunes/song.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sidtunes {
namespace {

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

bool parseInt(const std::string& s, int base, int& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  long r = std::strtol(s.c_str(), &end, base);
  if (*end != 0) return false;
  v = static_cast<int>(r);
  return true;
}

bool parseRange(const std::string& s, int base, int lo, int hi, int& v) {
  return parseInt(s, base, v) && v >= lo && v <= hi;
}

// One directive with its (joined) tokens and the line it started on.
struct Directive {
  int line = 0;
  std::vector<std::string> words;
};

struct Parser {
  Song& song;
  std::string error;
  int line = 0;
  std::map<std::string, int> instrumentIndex;
  std::map<std::string, int> sequenceIndex;

  bool fail(const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  bool wave(const std::vector<std::string>& w) {
    if (w.size() < 3) return fail("wave needs a name and steps");
    if (song.waveStart.count(w[1])) return fail("wave " + w[1] + " defined twice");
    int start = static_cast<int>(song.waveTable.size());
    song.waveStart[w[1]] = start;
    bool jumped = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const std::string& t = w[i];
      if (t == "loop") {
        int to = 0;
        if (i + 1 < w.size()) {
          if (!parseRange(w[i + 1], 10, 0, 255, to)) return fail("bad loop target " + w[i + 1]);
          ++i;
        }
        if (start + to >= static_cast<int>(song.waveTable.size())) return fail("loop target past the program");
        song.waveTable.push_back({0xFF, static_cast<uint8_t>(start + to)});
        jumped = true;
        if (i + 1 != w.size()) return fail("steps after loop");
        break;
      }
      WaveStep step;
      std::string note = t;
      size_t colon = t.find(':');
      if (colon != std::string::npos) {
        int wv = 0;
        if (!parseRange(t.substr(0, colon), 16, 1, 0xFE, wv)) return fail("bad waveform in " + t);
        step.wave = static_cast<uint8_t>(wv & 0xFE);  // the gate is the routine's
        note = t.substr(colon + 1);
      }
      if (!note.empty() && (note[0] == '+' || note[0] == '-') && note.size() > 1 && std::isdigit(note[1])) {
        int off = 0;
        if (!parseRange(note, 10, -64, 63, off)) return fail("bad offset " + note);
        step.note = static_cast<uint8_t>(off & 0x7F);
      } else {
        int n = parseNote(note);
        if (n < 0) return fail("bad note " + note);
        step.note = static_cast<uint8_t>(0x80 | n);
      }
      song.waveTable.push_back(step);
    }
    if (song.waveTable.size() == static_cast<size_t>(start) ||
        (jumped && song.waveTable.size() == static_cast<size_t>(start) + 1))
      return fail("wave " + w[1] + " has no steps");
    if (!jumped) {
      // hold the last step: jump back to it every frame
      song.waveTable.push_back({0xFF, static_cast<uint8_t>(song.waveTable.size() - 1)});
    }
    if (song.waveTable.size() > 256) return fail("wave table longer than 256 steps");
    return true;
  }

  bool instrument(const std::vector<std::string>& w) {
    if (w.size() < 2) return fail("instr needs a name");
    if (instrumentIndex.count(w[1])) return fail("instr " + w[1] + " defined twice");
    if (song.instruments.size() >= kMaxInstruments) return fail("too many instruments");
    Instrument ins;
    ins.name = w[1];
    bool haveWave = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const std::string& t = w[i];
      size_t eq = t.find('=');
      std::string key = t.substr(0, eq), val = eq == std::string::npos ? "" : t.substr(eq + 1);
      int v = 0;
      if (key == "ad" || key == "sr") {
        if (!parseRange(val, 16, 0, 255, v)) return fail("bad " + t);
        (key == "ad" ? ins.ad : ins.sr) = static_cast<uint8_t>(v);
      } else if (key == "wave") {
        auto it = song.waveStart.find(val);
        if (it == song.waveStart.end()) return fail("unknown wave " + val);
        ins.wave = it->second;
        haveWave = true;
      } else if (key == "pw") {
        if (!parseRange(val, 16, 0, 0xFFF, v)) return fail("bad " + t);
        ins.pulse = static_cast<uint16_t>(v);
      } else if (key == "pws") {
        if (!parseRange(val, 10, 0, 255, v)) return fail("bad " + t);
        ins.pulseSpeed = static_cast<uint8_t>(v);
      } else if (key == "pwr") {
        size_t dash = val.find('-');
        int lo = 0, hi = 0;
        if (dash == std::string::npos || !parseRange(val.substr(0, dash), 16, 1, 14, lo) ||
            !parseRange(val.substr(dash + 1), 16, lo + 1, 15, hi))
          return fail("bad " + t + " (pulse range within 1-F)");
        ins.pulseMin = static_cast<uint8_t>(lo);
        ins.pulseMax = static_cast<uint8_t>(hi);
      } else if (key == "vib") {
        int d = 0, s = 0, depth = 0;
        if (std::sscanf(val.c_str(), "%d,%d,%d", &d, &s, &depth) != 3 || d < 0 || d > 255 || s < 1 || s > 64 ||
            depth < 0 || depth > 8)
          return fail("bad " + t + " (delay,speed,depth)");
        ins.vibDelay = static_cast<uint8_t>(d);
        ins.vibSpeed = static_cast<uint8_t>(s);
        ins.vibDepth = static_cast<uint8_t>(depth);
      } else if (key == "nohr") {
        ins.flags |= kFlagNoHardRestart;
      } else if (key == "route") {
        ins.flags |= kFlagRoute;
      } else if (key == "flt") {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (std::sscanf(val.c_str(), "%x:%u:%x:%x", &a, &b, &c, &d) != 4 || a > 255 || b > 0xFFFF || c > d ||
            d > 255 || c < 1 || a < c || a > d)
          return fail("bad " + t + " (start:speed:min:max, start within the limits)");
        ins.flags |= kFlagFilterProgram;
        ins.filterStart = static_cast<uint8_t>(a);
        ins.filterSpeed = static_cast<uint16_t>(b);
        ins.filterMin = static_cast<uint8_t>(c);
        ins.filterMax = static_cast<uint8_t>(d);
      } else if (key == "res") {
        if (!parseRange(val, 16, 0, 15, v)) return fail("bad " + t);
        ins.resonance = static_cast<uint8_t>(v);
      } else if (key == "mode") {
        static const std::map<std::string, uint8_t> modes = {
            {"lp", 0x10}, {"bp", 0x20}, {"hp", 0x40}, {"lb", 0x30}, {"bh", 0x60}, {"notch", 0x50}};
        auto it = modes.find(val);
        if (it == modes.end()) return fail("bad " + t);
        ins.filterMode = it->second;
      } else if (key == "fdown") {
        ins.filterControl |= kFilterDown;
      } else if (key == "fonce") {
        ins.filterControl |= kFilterOnce;
      } else {
        return fail("unknown instrument key " + t);
      }
    }
    if (!haveWave) return fail("instr " + w[1] + " has no wave");
    if (ins.filterControl && !(ins.flags & kFlagFilterProgram)) return fail("fdown/fonce without flt");
    instrumentIndex[w[1]] = static_cast<int>(song.instruments.size());
    song.instruments.push_back(ins);
    return true;
  }

  // Splits "C-4:2" into the note part and an optional row count.
  bool noteAndRows(const std::string& t, std::string& note, int& rows) {
    size_t colon = t.find(':');
    note = t.substr(0, colon);
    rows = 0;
    if (colon == std::string::npos) return true;
    return parseRange(t.substr(colon + 1), 10, 1, 64, rows);
  }

  bool sequence(const std::vector<std::string>& w) {
    if (w.size() < 3) return fail("seq needs a name and events");
    if (sequenceIndex.count(w[1])) return fail("seq " + w[1] + " defined twice");
    if (song.sequences.size() >= 128) return fail("too many sequences");
    std::vector<uint8_t> bytes;
    int slide = 0;
    bool notes = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const std::string& t = w[i];
      if (t[0] == '@') {
        auto it = instrumentIndex.find(t.substr(1));
        if (it == instrumentIndex.end()) return fail("unknown instrument " + t);
        bytes.push_back(static_cast<uint8_t>(0xC0 + it->second));
        continue;
      }
      if (t.rfind("slide=", 0) == 0) {
        if (!parseRange(t.substr(6), 10, 1, 0xFFFF, slide)) return fail("bad " + t);
        continue;
      }
      std::string note;
      int rows = 0;
      if (!noteAndRows(t, note, rows)) return fail("bad duration in " + t);
      if (rows) bytes.push_back(static_cast<uint8_t>(0x80 + rows - 1));
      uint8_t prefix = 0;
      if (!note.empty() && (note[0] == '~' || note[0] == '>')) {
        prefix = note[0] == '~' ? kLegato : kSlide;
        note = note.substr(1);
        if (prefix == kSlide && slide == 0) return fail("glide without slide=speed: " + t);
      }
      uint8_t value = 0;
      if (note.empty()) {
        if (!rows) return fail("empty event");
        continue;  // ":N" alone sets the duration
      } else if (note == "r") {
        value = kRest;
      } else if (note == "=") {
        value = kTie;
      } else {
        int n = parseNote(note);
        if (n < 0) return fail("bad note " + t);
        value = static_cast<uint8_t>(n + 1);
      }
      if ((value == kRest || value == kTie) && prefix) return fail("~ or > on a rest or tie: " + t);
      if (prefix == kLegato) bytes.push_back(kLegato);
      if (prefix == kSlide) {
        bytes.push_back(kSlide);
        bytes.push_back(static_cast<uint8_t>(slide & 0xFF));
        bytes.push_back(static_cast<uint8_t>(slide >> 8));
      }
      bytes.push_back(value);
      notes = true;
    }
    if (!notes) return fail("seq " + w[1] + " has no notes");
    bytes.push_back(kEnd);
    sequenceIndex[w[1]] = static_cast<int>(song.sequences.size());
    song.sequenceNames.push_back(w[1]);
    song.sequences.push_back(bytes);
    return true;
  }

  bool order(int voice, const std::vector<std::string>& w) {
    std::vector<uint8_t>& out = song.orders[voice];
    if (!out.empty()) return fail("order list of voice " + std::to_string(voice + 1) + " given twice");
    int loopAt = -1;
    bool haveSeq = false;
    for (size_t i = 1; i < w.size(); ++i) {
      const std::string& t = w[i];
      if (t == "|") {
        if (loopAt >= 0) return fail("two loop marks");
        loopAt = static_cast<int>(out.size());
        continue;
      }
      if (t[0] == '+' || t[0] == '-') {
        int tr = 0;
        if (!parseRange(t, 10, -32, 31, tr)) return fail("bad transpose " + t);
        out.push_back(static_cast<uint8_t>(0xA0 + tr));
        continue;
      }
      std::string name = t;
      int count = 1;
      size_t star = t.find('*');
      if (star != std::string::npos) {
        name = t.substr(0, star);
        if (!parseRange(t.substr(star + 1), 10, 1, 64, count)) return fail("bad repeat " + t);
      }
      auto it = sequenceIndex.find(name);
      if (it == sequenceIndex.end()) return fail("unknown sequence " + name);
      for (int k = 0; k < count; ++k) out.push_back(static_cast<uint8_t>(it->second));
      haveSeq = true;
    }
    if (!haveSeq) return fail("order list without sequences");
    if (loopAt < 0) loopAt = 0;
    // the loop must land on or before a sequence, which it always does
    out.push_back(kLoop);
    out.push_back(static_cast<uint8_t>(loopAt));
    if (out.size() > 255) return fail("order list too long");
    return true;
  }
};

// Rows a sequence lasts when entered with the given sticky duration.
int sequenceRows(const std::vector<uint8_t>& seq, int& duration) {
  int rows = 0;
  for (size_t i = 0; i < seq.size(); ++i) {
    uint8_t b = seq[i];
    if (b == kEnd) break;
    if (b == kSlide) {
      i += 2;
    } else if (b == kLegato || b >= 0xC0) {
    } else if (b >= 0x80) {
      duration = (b & 0x3F) + 1;
    } else {
      rows += duration;
    }
  }
  return rows;
}

// Every note a voice plays, after its order list's transposition, must be
// one of the routine's 96 notes; returns the first offender's description.
std::string checkTransposedNotes(const Song& song) {
  for (int v = 0; v < 3; ++v) {
    int transpose = 0;
    for (uint8_t o : song.orders[v]) {
      if (o == kLoop) break;
      if (o >= 0x80) {
        transpose = o - 0xA0;
        continue;
      }
      const auto& seq = song.sequences[o];
      for (size_t i = 0; i < seq.size(); ++i) {
        uint8_t b = seq[i];
        if (b == kSlide) {
          i += 2;
          continue;
        }
        if (b == kRest || b >= kTie) continue;
        int note = b - 1 + transpose;
        if (note < 0 || note >= kNoteCount)
          return "voice " + std::to_string(v + 1) + ": sequence " + song.sequenceNames[o] + " transposed by " +
                 std::to_string(transpose) + " leaves the note range";
      }
    }
  }
  return "";
}

void measure(Song& song) {
  for (int v = 0; v < 3; ++v) {
    int duration = 1, rows = 0;
    const auto& o = song.orders[v];
    int loopAt = o[o.size() - 1];
    for (size_t i = 0; i + 2 < o.size() + 0 && o[i] != kLoop; ++i) {
      if (static_cast<int>(i) == loopAt) song.loopRows[v] = rows;
      if (o[i] < 0x80) rows += sequenceRows(song.sequences[o[i]], duration);
    }
    song.rows[v] = rows;
  }
}

}  // namespace

int parseNote(const std::string& name) {
  if (name.size() != 3) return -1;
  static const char* letters = "C D EF G A B";
  int base = -1;
  for (int i = 0; i < 12; ++i)
    if (letters[i] == name[0]) base = i;
  if (base < 0) return -1;
  if (name[1] == '#') {
    ++base;
  } else if (name[1] == 'b') {
    --base;
  } else if (name[1] != '-') {
    return -1;
  }
  if (name[2] < '0' || name[2] > '7') return -1;
  int n = (name[2] - '0') * 12 + base;
  return n >= 0 && n < kNoteCount ? n : -1;
}

uint16_t noteFrequency(int note) {
  // register = Hz x 2^24 / PAL clock; A-4 is note 57
  double hz = 440.0 * std::pow(2.0, (note - 57) / 12.0);
  double reg = std::floor(hz * 16777216.0 / 985248.0 + 0.5);
  return reg > 65535.0 ? 65535 : static_cast<uint16_t>(reg);
}

bool parseSong(const std::string& text, Song& song, std::string& error) {
  song = Song{};
  std::vector<Directive> directives;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    std::string l = raw.substr(0, raw.find(';'));
    auto words = split(l);
    if (words.empty()) continue;
    if (std::isspace(static_cast<unsigned char>(l[0]))) {
      if (directives.empty()) {
        error = "line " + std::to_string(lineNo) + ": continuation without a directive";
        return false;
      }
      auto& d = directives.back().words;
      d.insert(d.end(), words.begin(), words.end());
    } else {
      directives.push_back({lineNo, words});
    }
  }
  Parser p{song, "", 0, {}, {}};
  bool speedSet = false;
  for (const auto& d : directives) {
    p.line = d.line;
    const auto& w = d.words;
    bool ok = true;
    if (w[0] == "title") {
      std::string t;
      for (size_t i = 1; i < w.size(); ++i) t += (i > 1 ? " " : "") + w[i];
      if (t.empty() || t.size() > 32) ok = p.fail("title must have 1 to 32 characters");
      song.title = t;
    } else if (w[0] == "speed") {
      int a = 0, b = 0;
      if (w.size() != 3 || !parseRange(w[1], 10, 3, 64, a) || !parseRange(w[2], 10, 3, 64, b)) {
        ok = p.fail("speed needs two frame counts of 3 to 64");
      } else {
        song.speed[0] = static_cast<uint8_t>(a);
        song.speed[1] = static_cast<uint8_t>(b);
        speedSet = true;
      }
    } else if (w[0] == "wave") {
      ok = p.wave(w);
    } else if (w[0] == "instr") {
      ok = p.instrument(w);
    } else if (w[0] == "seq") {
      ok = p.sequence(w);
    } else if (w[0] == "v1" || w[0] == "v2" || w[0] == "v3") {
      ok = p.order(w[0][1] - '1', w);
    } else {
      ok = p.fail("unknown directive " + w[0]);
    }
    if (!ok) {
      error = p.error;
      return false;
    }
  }
  p.line = lineNo;
  if (song.title.empty()) return error = "no title", false;
  if (!speedSet) return error = "no speed", false;
  for (int v = 0; v < 3; ++v)
    if (song.orders[v].empty()) return error = "no order list for voice " + std::to_string(v + 1), false;
  error = checkTransposedNotes(song);
  if (!error.empty()) return false;
  measure(song);
  return true;
}

std::string emitData(const Song& song) {
  std::ostringstream o;
  auto bytes = [&o](const char* label, const std::vector<int>& v) {
    o << label;
    if (v.empty()) o << " .byte 0";  // an empty table still needs its label
    for (size_t i = 0; i < v.size(); ++i) o << (i % 16 == 0 ? (i ? "\n        .byte " : " .byte ") : ", ") << v[i];
    o << "\n";
  };
  o << "; generated by the song compiler from the song source: " << song.title << "\n";
  bytes("song_speed", {song.speed[0], song.speed[1]});
  o << "ordlo .byte <ord0, <ord1, <ord2\nordhi .byte >ord0, >ord1, >ord2\n";
  for (int v = 0; v < 3; ++v) {
    std::string l = "ord" + std::to_string(v);
    bytes(l.c_str(), std::vector<int>(song.orders[v].begin(), song.orders[v].end()));
  }
  o << "seqlo .byte ";
  for (size_t i = 0; i < song.sequences.size(); ++i) o << (i ? ", " : "") << "<seq" << i;
  o << "\nseqhi .byte ";
  for (size_t i = 0; i < song.sequences.size(); ++i) o << (i ? ", " : "") << ">seq" << i;
  o << "\n";
  for (size_t i = 0; i < song.sequences.size(); ++i) {
    std::string l = "seq" + std::to_string(i);
    o << "; " << song.sequenceNames[i] << "\n";
    bytes(l.c_str(), std::vector<int>(song.sequences[i].begin(), song.sequences[i].end()));
  }
  auto field = [&](const char* label, auto get) {
    std::vector<int> v;
    for (const auto& ins : song.instruments) v.push_back(get(ins));
    bytes(label, v);
  };
  field("ins_ad", [](const Instrument& i) { return i.ad; });
  field("ins_sr", [](const Instrument& i) { return i.sr; });
  field("ins_wave", [](const Instrument& i) { return i.wave; });
  field("ins_pwlo", [](const Instrument& i) { return i.pulse & 0xFF; });
  field("ins_pwhi", [](const Instrument& i) { return i.pulse >> 8; });
  field("ins_pwspeed", [](const Instrument& i) { return i.pulseSpeed; });
  field("ins_pwmin", [](const Instrument& i) { return i.pulseMin; });
  field("ins_pwmax", [](const Instrument& i) { return i.pulseMax; });
  field("ins_vibdelay", [](const Instrument& i) { return i.vibDelay; });
  field("ins_vibspeed", [](const Instrument& i) { return i.vibSpeed; });
  field("ins_vibdepth", [](const Instrument& i) { return i.vibDepth; });
  field("ins_flags", [](const Instrument& i) { return i.flags; });
  field("ins_fstart", [](const Instrument& i) { return i.filterStart; });
  field("ins_fspeedlo", [](const Instrument& i) { return i.filterSpeed & 0xFF; });
  field("ins_fspeedhi", [](const Instrument& i) { return i.filterSpeed >> 8; });
  field("ins_fmin", [](const Instrument& i) { return i.filterMin; });
  field("ins_fmax", [](const Instrument& i) { return i.filterMax; });
  field("ins_fctl", [](const Instrument& i) { return i.filterControl; });
  field("ins_fres", [](const Instrument& i) { return i.resonance; });
  field("ins_fmode", [](const Instrument& i) { return i.filterMode; });
  std::vector<int> w, n, lo, hi;
  for (const auto& s : song.waveTable) {
    w.push_back(s.wave);
    n.push_back(s.note);
  }
  bytes("wt_wave", w);
  bytes("wt_note", n);
  // one extra entry so the vibrato step of the top note has a neighbour
  for (int i = 0; i <= kNoteCount; ++i) {
    lo.push_back(noteFrequency(i) & 0xFF);
    hi.push_back(noteFrequency(i) >> 8);
  }
  bytes("freqlo", lo);
  bytes("freqhi", hi);
  return o.str();
}

std::vector<uint8_t> assemble(const Song& song, const std::string& playerAsm, const std::string& workDir,
                              std::string& error) {
  std::vector<uint8_t> out;
  std::ifstream player(playerAsm, std::ios::binary);
  if (!player) {
    error = "cannot read " + playerAsm;
    return out;
  }
  std::string routine((std::istreambuf_iterator<char>(player)), std::istreambuf_iterator<char>());
  {
    std::ofstream a(workDir + "/player.asm", std::ios::binary);
    std::ofstream d(workDir + "/song_data.asm", std::ios::binary);
    a << routine;
    d << emitData(song);
    if (!a || !d) {
      error = "cannot write into " + workDir;
      return out;
    }
  }
  std::string prg = workDir + "/tune.prg";
  std::remove(prg.c_str());
  std::string cmd = "64tass -q -B -o '" + prg + "' -L '" + workDir + "/tune.lst' '" + workDir + "/player.asm' 2>'" +
                    workDir + "/64tass.err'";
  if (std::system(cmd.c_str()) != 0) {
    std::ifstream e(workDir + "/64tass.err");
    error = "64tass failed: " + std::string((std::istreambuf_iterator<char>(e)), std::istreambuf_iterator<char>());
    return out;
  }
  std::ifstream p(prg, std::ios::binary);
  out.assign(std::istreambuf_iterator<char>(p), std::istreambuf_iterator<char>());
  if (out.size() < 3) {
    error = "64tass wrote no program";
    out.clear();
  }
  return out;
}

}  // namespace sidtunes
