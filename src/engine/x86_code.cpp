#include "engine/x86_code.h"

#include <Zydis/Zydis.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "base/text.h"
#include "engine/values.h"

namespace quillfen {

namespace {

using Image = std::span<const std::uint8_t>;

// Functions that create, size or place a window, or set up the display.
const std::unordered_set<std::string>& WindowFunctions() {
  static const std::unordered_set<std::string> names = {"CreateWindowExW",
                                                        "CreateWindowExA",
                                                        "SetWindowPos",
                                                        "MoveWindow",
                                                        "AdjustWindowRect",
                                                        "AdjustWindowRectEx",
                                                        "AdjustWindowRectExForDpi",
                                                        "ChangeDisplaySettingsA",
                                                        "ChangeDisplaySettingsW",
                                                        "ChangeDisplaySettingsExA",
                                                        "ChangeDisplaySettingsExW",
                                                        "SetWindowPlacement",
                                                        "Direct3DCreate9",
                                                        "Direct3DCreate9Ex",
                                                        "D3D11CreateDevice",
                                                        "D3D11CreateDeviceAndSwapChain",
                                                        "D3D12CreateDevice",
                                                        "CreateDXGIFactory",
                                                        "CreateDXGIFactory1",
                                                        "CreateDXGIFactory2",
                                                        "DirectDrawCreate",
                                                        "DirectDrawCreateEx",
                                                        "SDL_CreateWindow",
                                                        "SDL_SetWindowSize",
                                                        "SDL_SetVideoMode",
                                                        "glfwCreateWindow",
                                                        "glfwSetWindowSize",
                                                        "glutInitWindowSize"};
  return names;
}

struct CallSite {
  std::uint32_t at;       // file offset of the call
  std::uint32_t ordinal;  // instruction number
  std::uint64_t target;   // called address, or 0
  std::int32_t window;    // index into names of the window function called, or -1
};

struct Reference {
  std::uint64_t target;
  std::uint32_t at;
  std::uint32_t ordinal;
};

struct Candidate {
  std::uint32_t at;  // the instruction
  std::uint32_t ordinal;
  std::int64_t value_at;  // the immediate's file offset
  std::int32_t size;
  bool width;
  std::int32_t into = -1;         // the register the instruction sets, or -1
  std::int64_t tested_call = -1;  // a fallback of the result of this call
};

// Where code starts running on a call's result: the two paths of a branch
// that tests it.
struct ResultPath {
  std::uint64_t start;  // file offset
  std::uint32_t call;   // the call's file offset
};

// How many instructions after a call its result is still looked for in a
// test, and after the test a branch or a conditional move.
constexpr std::uint32_t kResultReach = 3;
// How far into a path on a call's result a fallback value is looked for, in bytes.
constexpr std::uint64_t kPathReach = 12;

void Mark(std::vector<std::uint64_t>& bits, std::uint64_t from, std::uint64_t count) {
  for (std::uint64_t i = from; i < from + count && (i >> 6) < bits.size(); ++i) {
    bits[i >> 6] |= std::uint64_t{1} << (i & 63);
  }
}

// The instruction at `at` in Intel syntax, with the addresses it refers to
// written out; empty when it does not decode.
std::string Describe(const ZydisDecoder& decoder, Image file, std::uint64_t at, std::uint64_t va) {
  ZydisDecoderContext context;
  ZydisDecodedInstruction insn;
  ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
  if (!ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&decoder, &context, file.data() + at,
                                                  file.size() - at, &insn)) ||
      !ZYAN_SUCCESS(ZydisDecoderDecodeOperands(&decoder, &context, &insn, operands,
                                               insn.operand_count_visible))) {
    return {};
  }
  std::string text = ZydisMnemonicGetString(insn.mnemonic);
  for (std::uint8_t i = 0; i < insn.operand_count_visible; ++i) {
    const ZydisDecodedOperand& op = operands[i];
    text += i == 0 ? " " : ", ";
    if (op.type == ZYDIS_OPERAND_TYPE_REGISTER) {
      text += ZydisRegisterGetString(op.reg.value);
    } else if (op.type == ZYDIS_OPERAND_TYPE_IMMEDIATE) {
      text += op.imm.is_relative
                  ? Hex(va + insn.length + static_cast<std::uint64_t>(op.imm.value.s))
                  : Hex(op.imm.value.u & (op.size >= 64 ? ~0ull : (1ull << op.size) - 1));
    } else if (op.type == ZYDIS_OPERAND_TYPE_MEMORY) {
      const char* sizes[] = {"byte", "word", "dword", "qword"};
      const int log = op.size == 8 ? 0 : op.size == 16 ? 1 : op.size == 32 ? 2 : 3;
      if (insn.mnemonic != ZYDIS_MNEMONIC_LEA) text += std::string(sizes[log]) + " ";
      text += "[";
      if (op.mem.base == ZYDIS_REGISTER_RIP) {
        text += Hex(va + insn.length + static_cast<std::uint64_t>(op.mem.disp.value));
      } else {
        std::string inner;
        if (op.mem.base != ZYDIS_REGISTER_NONE) inner = ZydisRegisterGetString(op.mem.base);
        if (op.mem.index != ZYDIS_REGISTER_NONE) {
          if (!inner.empty()) inner += '+';
          inner += ZydisRegisterGetString(op.mem.index);
          inner += '*';
          inner += std::to_string(op.mem.scale);
        }
        const std::int64_t disp = op.mem.disp.has_displacement ? op.mem.disp.value : 0;
        if (disp != 0 || inner.empty()) {
          if (disp < 0 || !inner.empty()) inner += disp < 0 ? '-' : '+';
          inner += Hex(static_cast<std::uint64_t>(disp < 0 ? -disp : disp));
        }
        text += inner;
      }
      text += "]";
    }
  }
  return text;
}

bool Plausible(std::int64_t value) {
  return value >= 120 && value <= 16384;
}

// Whether the data pair at x (and its partner d bytes on) has two neighbours
// of plausible sizes in the same shape at a stride of 8 to 16 bytes, before
// and after it or both on one side: an entry of a table of modes.
bool InTable(Image file, std::int64_t x, std::int64_t d, std::int32_t size) {
  const auto n = static_cast<std::int64_t>(file.size());
  const auto entry = [&](std::int64_t at) {
    const std::int64_t a = at, b = at + d;
    return std::min(a, b) >= 0 && std::max(a, b) + size <= n &&
           Plausible(ReadValueAt(file, a, size)) && Plausible(ReadValueAt(file, b, size));
  };
  for (const std::int64_t stride : {8, 12, 16}) {
    if (stride <= std::abs(d)) continue;
    const bool before = entry(x - stride), after = entry(x + stride);
    if ((before && after) || (before && entry(x - 2 * stride)) ||
        (after && entry(x + 2 * stride))) {
      return true;
    }
  }
  return false;
}

// The window functions the code calls, by the import slot they are called
// through, each named once.
class WindowNames {
 public:
  explicit WindowNames(const PeImage& image) : image_(image) {}

  // The index of the window function imported at the slot, or -1.
  std::int32_t Of(std::uint64_t slot) {
    const auto found = image_.imports.find(slot);
    if (found == image_.imports.end() || !WindowFunctions().contains(found->second)) return -1;
    const auto [it, added] =
        index_.try_emplace(found->second, static_cast<std::int32_t>(names_.size()));
    if (added) names_.push_back(found->second);
    return it->second;
  }
  const std::string& Name(std::int32_t index) const {
    return names_[static_cast<std::size_t>(index)];
  }

 private:
  const PeImage& image_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::int32_t> index_;
};

// What one pass of decoding gathers from the executable sections: the calls,
// returns, data references and jmp [slot] stubs, the instructions that set the
// width or the height, the paths that run on a call's tested result, and the
// bytes another build would hold differently.
class CodeReader {
 public:
  CodeReader(Image file, const PeImage& image, std::int32_t width, std::int32_t height,
             const ZydisDecoder& minimal, WindowNames& windows, std::vector<std::uint64_t>& moving)
      : file_(file),
        image_(image),
        width_(width),
        height_(height),
        short_values_(width <= 0xFFFF && height <= 0xFFFF),
        minimal_(minimal),
        windows_(windows),
        moving_(moving) {}

  void ReadSection(const PeSection& section, const CodeProgress& progress);
  // Calls of jmp [slot] stubs call the import.
  void ResolveStubs();

  std::vector<CallSite> calls;
  std::vector<std::uint32_t> rets;    // file offsets of returns, ascending
  std::vector<Reference> references;  // data addresses code refers to
  std::vector<Candidate> candidates;
  std::vector<ResultPath> result_paths;

 private:
  // What the decoding of a section knows of the instructions before.
  struct Context {
    std::array<std::uint64_t, 16> loaded{};  // import slot each register was loaded from
    // The last immediate moved into each register: its candidate and instruction number.
    std::array<std::pair<std::size_t, std::uint32_t>, 16> set_to{};
    std::uint32_t call_ordinal = 0, call_at = 0, test_ordinal = 0;  // the last call; its test
  };

  // A memory operand's absolute address, 0 when it has none; marks a
  // RIP-relative displacement as moving and records the reference.
  std::uint64_t AddressOf(const ZydisDecodedInstruction& insn, std::uint64_t at,
                          std::uint64_t next);
  // The immediates: relative ones and 32-bit addresses move; a width or a
  // height moved or pushed is a candidate.
  void TakeImmediates(const ZydisDecodedInstruction& insn, std::uint64_t at, Context& c);
  // Returns, calls, stubs, loads of import slots, tests of a call's result and
  // what follows them.
  void TakeFlow(const ZydisDecodedInstruction& insn, std::uint64_t at, std::uint64_t va,
                std::uint64_t address, Context& c);

  Image file_;
  const PeImage& image_;
  const std::int32_t width_;
  const std::int32_t height_;
  const bool short_values_;
  const ZydisDecoder& minimal_;
  WindowNames& windows_;
  std::vector<std::uint64_t>& moving_;
  std::unordered_map<std::uint64_t, std::uint64_t> thunks_;  // jmp [slot] stubs: address -> slot
  std::uint32_t ordinal_ = 0;                                // instructions decoded so far
};

void CodeReader::ReadSection(const PeSection& section, const CodeProgress& progress) {
  const std::uint64_t start = section.raw_offset, end = start + section.raw_size;
  const std::uint64_t base = image_.image_base + section.rva - start;  // va = base + offset
  Context context;
  std::uint64_t at = start;
  std::uint64_t reported = at;
  while (at < end) {
    if (progress && at - reported >= (1u << 20)) {
      progress(static_cast<std::size_t>(at));
      reported = at;
    }
    ZydisDecodedInstruction insn;
    if (!ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&minimal_, nullptr, file_.data() + at, end - at,
                                                    &insn))) {
      ++at;
      continue;
    }
    ++ordinal_;
    const std::uint64_t va = base + at;
    const std::uint64_t address = AddressOf(insn, at, va + insn.length);
    TakeImmediates(insn, at, context);
    TakeFlow(insn, at, va, address, context);
    at += insn.length;
  }
}

std::uint64_t CodeReader::AddressOf(const ZydisDecodedInstruction& insn, std::uint64_t at,
                                    std::uint64_t next) {
  const auto& raw = insn.raw;
  if (raw.disp.size == 0) return 0;
  const bool modrm = (insn.attributes & ZYDIS_ATTRIB_HAS_MODRM) != 0;
  const bool rip = image_.is64 && modrm && raw.modrm.mod == 0 && raw.modrm.rm == 5;
  const bool absolute =
      !image_.is64 && ((modrm && raw.modrm.mod == 0 &&
                        (raw.modrm.rm == 5 || (raw.modrm.rm == 4 && raw.sib.base == 5))) ||
                       (!modrm && raw.disp.size == 32));
  std::uint64_t address = 0;
  if (rip) {
    address = next + static_cast<std::uint64_t>(raw.disp.value);
    Mark(moving_, at + raw.disp.offset, raw.disp.size / 8);
  } else if (absolute) {
    address = static_cast<std::uint32_t>(raw.disp.value);
  }
  if (address != 0) references.push_back({address, static_cast<std::uint32_t>(at), ordinal_});
  return address;
}

void CodeReader::TakeImmediates(const ZydisDecodedInstruction& insn, std::uint64_t at, Context& c) {
  const auto& raw = insn.raw;
  const bool modrm = (insn.attributes & ZYDIS_ATTRIB_HAS_MODRM) != 0;
  for (int i = 0; i < 2; ++i) {
    const auto& imm = raw.imm[i];
    if (imm.size == 0) continue;
    if (imm.is_relative) {
      Mark(moving_, at + imm.offset, imm.size / 8);
      continue;
    }
    // An address in 32-bit code (mov reg, offset; push offset) moves
    // between builds, and refers to what code loads.
    if (!image_.is64 && imm.size == 32 && imm.value.u >= image_.image_base &&
        image_.FileOffsetOfVa(imm.value.u)) {
      Mark(moving_, at + imm.offset, 4);
      references.push_back({imm.value.u, static_cast<std::uint32_t>(at), ordinal_});
      continue;
    }
    if (insn.mnemonic != ZYDIS_MNEMONIC_MOV && insn.mnemonic != ZYDIS_MNEMONIC_PUSH) continue;
    // mov reg, imm (B8+r) and mov r/m, imm (C7) into a register.
    std::int32_t into = -1;
    if (insn.mnemonic == ZYDIS_MNEMONIC_MOV && insn.opcode >= 0xB8 && insn.opcode <= 0xBF) {
      into = (insn.opcode & 7) | (raw.rex.B ? 8 : 0);
    } else if (insn.mnemonic == ZYDIS_MNEMONIC_MOV && modrm && raw.modrm.mod == 3) {
      into = (raw.modrm.rm & 7) | (raw.rex.B ? 8 : 0);
    }
    const auto add = [&](std::uint64_t value, std::uint32_t offset, std::int32_t size) {
      for (const bool is_width : {true, false}) {
        const auto wanted = static_cast<std::uint64_t>(is_width ? width_ : height_);
        if (value != wanted || (size == 2 && !short_values_)) continue;
        if (into >= 0) c.set_to[static_cast<std::size_t>(into)] = {candidates.size() + 1, ordinal_};
        candidates.push_back({static_cast<std::uint32_t>(at), ordinal_,
                              static_cast<std::int64_t>(at + offset), size, is_width, into});
      }
    };
    if (imm.size == 16) {
      add(imm.value.u & 0xFFFF, imm.offset, 2);
    } else if (imm.size == 32) {
      add(imm.value.u & 0xFFFFFFFF, imm.offset, 4);
    } else if (imm.size == 64) {
      // Two 32-bit values set at once (a rectangle's right and bottom).
      add(imm.value.u & 0xFFFFFFFF, imm.offset, 4);
      add(imm.value.u >> 32, imm.offset + 4u, 4);
    }
  }
}

void CodeReader::TakeFlow(const ZydisDecodedInstruction& insn, std::uint64_t at, std::uint64_t va,
                          std::uint64_t address, Context& c) {
  const auto& raw = insn.raw;
  const bool modrm = (insn.attributes & ZYDIS_ATTRIB_HAS_MODRM) != 0;
  const std::uint64_t next = va + insn.length;
  const auto reg_of = [](std::uint8_t bits, bool extended) {
    return static_cast<std::size_t>((bits & 7) | (extended ? 8 : 0));
  };
  switch (insn.mnemonic) {
    case ZYDIS_MNEMONIC_RET:
      rets.push_back(static_cast<std::uint32_t>(at));
      c.loaded.fill(0);
      break;
    case ZYDIS_MNEMONIC_CALL: {
      c.call_ordinal = ordinal_;
      c.call_at = static_cast<std::uint32_t>(at);
      CallSite call{static_cast<std::uint32_t>(at), ordinal_, 0, -1};
      if (raw.imm[0].is_relative) {
        call.target = next + static_cast<std::uint64_t>(raw.imm[0].value.s);
      } else if (address != 0) {
        call.window = windows_.Of(address);
      } else if (modrm && raw.modrm.mod == 3) {
        const std::uint64_t slot = c.loaded[reg_of(raw.modrm.rm, raw.rex.B)];
        if (slot != 0) call.window = windows_.Of(slot);
      }
      calls.push_back(call);
      break;
    }
    case ZYDIS_MNEMONIC_JMP:
      if (address != 0 && image_.imports.contains(address)) thunks_[va] = address;
      break;
    case ZYDIS_MNEMONIC_MOV:
      if (modrm && raw.modrm.mod != 3 && insn.opcode == 0x8B) {
        c.loaded[reg_of(raw.modrm.reg, raw.rex.R)] =
            address != 0 && image_.imports.contains(address) ? address : 0;
      }
      break;
    case ZYDIS_MNEMONIC_TEST:
    case ZYDIS_MNEMONIC_CMP:
      // test eax, eax; cmp eax, imm (either form): the result of the call just made.
      if (c.call_ordinal != 0 && ordinal_ - c.call_ordinal <= kResultReach &&
          ((modrm && raw.modrm.mod == 3 && raw.modrm.rm == 0 && !raw.rex.B &&
            (insn.mnemonic == ZYDIS_MNEMONIC_CMP || (raw.modrm.reg == 0 && !raw.rex.R))) ||
           (insn.mnemonic == ZYDIS_MNEMONIC_CMP && !modrm && insn.opcode == 0x3D))) {
        c.test_ordinal = ordinal_;
      }
      break;
    default: {
      if (c.test_ordinal == 0 || ordinal_ - c.test_ordinal > kResultReach) break;
      const bool map0f = insn.opcode_map == ZYDIS_OPCODE_MAP_0F;
      const bool jcc =
          raw.imm[0].is_relative && ((!map0f && insn.opcode >= 0x70 && insn.opcode <= 0x7F) ||
                                     (map0f && insn.opcode >= 0x80 && insn.opcode <= 0x8F));
      if (jcc) {
        // Both paths of the branch run on the result.
        result_paths.push_back({at + insn.length, c.call_at});
        if (const auto target =
                image_.FileOffsetOfVa(next + static_cast<std::uint64_t>(raw.imm[0].value.s))) {
          result_paths.push_back({*target, c.call_at});
        }
      } else if (map0f && insn.opcode >= 0x40 && insn.opcode <= 0x4F && modrm &&
                 raw.modrm.mod == 3 && raw.modrm.reg == 0 && !raw.rex.R) {
        // cmov eax, reg of a value just set: the value replaces the result.
        const auto [candidate, set_at] = c.set_to[reg_of(raw.modrm.rm, raw.rex.B)];
        if (candidate != 0 && ordinal_ - set_at <= 2 * kResultReach) {
          candidates[candidate - 1].tested_call = c.call_at;
        }
      }
      break;
    }
  }
}

void CodeReader::ResolveStubs() {
  for (CallSite& call : calls) {
    if (call.window < 0 && call.target != 0) {
      if (const auto stub = thunks_.find(call.target); stub != thunks_.end()) {
        call.window = windows_.Of(stub->second);
      }
    }
  }
  std::sort(result_paths.begin(), result_paths.end(),
            [](const ResultPath& a, const ResultPath& b) { return a.start < b.start; });
}

// The functions of the code, as the stretches between returns, and the window
// calls reached from an instruction.
class CallReach {
 public:
  CallReach(const PeImage& image, const CodeReader& code, const WindowNames& windows)
      : image_(image), calls_(code.calls), rets_(code.rets), windows_(windows) {
    for (const CallSite& call : calls_) {
      if (call.window >= 0) window_calls_.push_back(&call);
    }
  }

  // The start of the function holding `at`: the return before it, or -1.
  std::int64_t FunctionOf(std::uint64_t at) const {
    const auto it = std::lower_bound(rets_.begin(), rets_.end(), at);
    return it == rets_.begin() ? -1 : static_cast<std::int64_t>(*(it - 1));
  }

  // The window call reached from the instruction at `at` within kCallReach
  // instructions of the same function: a call of the function itself, else
  // the first call into a function that makes one.
  void FindCall(CodeValue& v, std::uint32_t at, std::uint32_t from_ordinal) {
    const std::uint64_t end = NextReturn(at);
    auto it = std::upper_bound(calls_.begin(), calls_.end(), at,
                               [](std::uint64_t a, const CallSite& c) { return a < c.at; });
    const CallSite* through = nullptr;
    for (; it != calls_.end() && it->at < end && it->ordinal <= from_ordinal + kCallReach; ++it) {
      if (it->window >= 0) {
        v.call = windows_.Name(it->window);
        v.direct = true;
        v.call_at = it->at;
        return;
      }
      if (!through && it->target != 0) {
        if (const CallSite* inner = CalleeCall(it->target)) {
          through = inner;
          v.call_at = it->at;
        }
      }
    }
    if (through) {
      v.call = windows_.Name(through->window);
      v.direct = false;
    } else {
      v.call_at = -1;
    }
  }

 private:
  // The return that ends the code at `at`.
  std::uint64_t NextReturn(std::uint64_t at) const {
    const auto it = std::lower_bound(rets_.begin(), rets_.end(), at);
    return it == rets_.end() ? UINT64_MAX : *it;
  }
  // The first window call from `from` up to `to`.
  const CallSite* FirstWindowCall(std::uint64_t from, std::uint64_t to) const {
    const auto it =
        std::lower_bound(window_calls_.begin(), window_calls_.end(), from,
                         [](const CallSite* c, std::uint64_t at) { return c->at < at; });
    return it != window_calls_.end() && (*it)->at < to ? *it : nullptr;
  }
  // The window call of the function entered at the address, if it makes one.
  const CallSite* CalleeCall(std::uint64_t target) {
    const auto known = callees_.find(target);
    if (known != callees_.end()) return known->second;
    const CallSite* found = nullptr;
    if (const auto offset = image_.FileOffsetOfVa(target)) {
      found = FirstWindowCall(*offset, NextReturn(*offset));
    }
    callees_[target] = found;
    return found;
  }

  const PeImage& image_;
  const std::vector<CallSite>& calls_;
  const std::vector<std::uint32_t>& rets_;
  const WindowNames& windows_;
  std::vector<const CallSite*> window_calls_;  // by position
  std::unordered_map<std::uint64_t, const CallSite*>
      callees_;  // function address -> its window call
};

// The values code sets: each candidate the image does not refuse, with the
// window call it reaches, and marked a fallback where it is set on a path
// that runs on a tested call's result.
void TakeSetValues(Image file, const PeImage& image, const ZydisDecoder& decoder,
                   const CodeReader& code, CallReach& reach, CodeScan& scan) {
  for (const Candidate& c : code.candidates) {
    if (image.Refused(static_cast<std::uint64_t>(c.value_at), static_cast<std::uint64_t>(c.size))) {
      continue;
    }
    CodeValue v;
    v.at = c.value_at;
    v.size = c.size;
    v.width = c.width;
    v.source = ValueSource::kImmediate;
    v.instruction = c.at;
    v.text = Describe(decoder, file, c.at, image.VaOfFileOffset(c.at).value_or(0));
    v.function = reach.FunctionOf(c.at);
    reach.FindCall(v, c.at, c.ordinal);
    // Set into the result's register at the start of a path on the result.
    const std::vector<ResultPath>& paths = code.result_paths;
    if (c.tested_call < 0 && c.into == 0) {
      const auto path =
          std::upper_bound(paths.begin(), paths.end(), c.at,
                           [](std::uint64_t a, const ResultPath& p) { return a < p.start; });
      if (path != paths.begin() && c.at - (path - 1)->start <= kPathReach &&
          reach.FunctionOf((path - 1)->start) == v.function) {
        v.fallback = true;
        v.tested_call = (path - 1)->call;
      }
    }
    if (c.tested_call >= 0) {
      v.fallback = true;
      v.tested_call = c.tested_call;
    }
    scan.values.push_back(std::move(v));
  }
}

// Values in the data sections, and the code that loads them: the nearest
// reference at or before a value, within a block of 64 bytes.
void TakeDataValues(Image file, const PeImage& image, std::int32_t width, std::int32_t height,
                    const ZydisDecoder& decoder, std::vector<Reference> references,
                    CallReach& reach, CodeScan& scan) {
  std::sort(references.begin(), references.end(),
            [](const Reference& a, const Reference& b) { return a.target < b.target; });
  for (const PeSection& section : image.sections) {
    if (section.Executable() || section.raw_size < 2) continue;
    const std::uint64_t start = section.raw_offset, end = start + section.raw_size;
    for (std::uint64_t at = start; at + 2 <= end; ++at) {
      for (const bool is_width : {true, false}) {
        const std::int32_t wanted = is_width ? width : height;
        if (file[at] != static_cast<std::uint8_t>(wanted) ||
            file[at + 1] != static_cast<std::uint8_t>(wanted >> 8)) {
          continue;
        }
        std::int32_t size = 0;
        if (at + 4 <= end && ReadValueAt(file, static_cast<std::int64_t>(at), 4) == wanted) {
          size = 4;
        } else if (wanted <= 0xFFFF) {
          size = 2;
        }
        if (size == 0 || image.Refused(at, static_cast<std::uint64_t>(size))) continue;
        CodeValue v;
        v.at = static_cast<std::int64_t>(at);
        v.size = size;
        v.width = is_width;
        const std::uint64_t va = image.VaOfFileOffset(at).value_or(0);
        auto ref =
            std::upper_bound(references.begin(), references.end(), va,
                             [](std::uint64_t a, const Reference& r) { return a < r.target; });
        if (ref != references.begin() && va - (ref - 1)->target < 64) {
          const Reference& r = *(ref - 1);
          v.source = ValueSource::kLoaded;
          v.instruction = r.at;
          v.text = Describe(decoder, file, r.at, image.VaOfFileOffset(r.at).value_or(0));
          v.function = reach.FunctionOf(r.at);
          reach.FindCall(v, r.at, r.ordinal);
        }
        scan.values.push_back(std::move(v));
      }
    }
  }
}

// Data values that stand among more sizes of one shape: a table of modes.
void MarkTables(Image file, std::int32_t width, std::int32_t height, CodeScan& scan) {
  for (CodeValue& v : scan.values) {
    if (v.source == ValueSource::kImmediate) continue;
    for (const std::int64_t d : {std::int64_t{v.size}, -std::int64_t{v.size}}) {
      const std::int64_t other = v.at + d;
      if (other < 0 || other + v.size > static_cast<std::int64_t>(file.size())) continue;
      if (ReadValueAt(file, other, v.size) == (v.width ? height : width) &&
          InTable(file, v.width ? v.at : other, v.width ? d : -d, v.size)) {
        v.table = true;
      }
    }
  }
}

}  // namespace

CodeScan ScanCode(Image file, const PeImage& image, std::int32_t width, std::int32_t height,
                  const CodeProgress& progress) {
  CodeScan scan;
  scan.moving.assign((file.size() + 63) / 64, 0);
  for (const std::uint32_t at : image.relocations) Mark(scan.moving, at, image.relocation_size);

  ZydisDecoder decoder;
  if (image.is64) {
    ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
  } else {
    ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  }
  ZydisDecoder minimal = decoder;
  ZydisDecoderEnableMode(&minimal, ZYDIS_DECODER_MODE_MINIMAL, ZYAN_TRUE);

  WindowNames windows(image);
  CodeReader code(file, image, width, height, minimal, windows, scan.moving);
  for (const PeSection& section : image.sections) {
    if (section.Executable() && section.raw_size != 0) code.ReadSection(section, progress);
  }
  code.ResolveStubs();

  CallReach reach(image, code, windows);
  TakeSetValues(file, image, decoder, code, reach, scan);
  TakeDataValues(file, image, width, height, decoder, std::move(code.references), reach, scan);
  std::sort(scan.values.begin(), scan.values.end(),
            [](const CodeValue& a, const CodeValue& b) { return a.at < b.at; });
  MarkTables(file, width, height, scan);
  return scan;
}

}  // namespace quillfen
