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

  std::vector<std::string> window_names;
  std::unordered_map<std::string, std::int32_t> window_index;
  const auto window_of = [&](std::uint64_t slot) -> std::int32_t {
    const auto found = image.imports.find(slot);
    if (found == image.imports.end() || !WindowFunctions().contains(found->second)) return -1;
    const auto [it, added] =
        window_index.try_emplace(found->second, static_cast<std::int32_t>(window_names.size()));
    if (added) window_names.push_back(found->second);
    return it->second;
  };

  std::vector<CallSite> calls;
  std::vector<std::uint32_t> rets;                          // file offsets of returns, ascending
  std::vector<Reference> references;                        // data addresses code refers to
  std::unordered_map<std::uint64_t, std::uint64_t> thunks;  // jmp [slot] stubs: address -> slot
  std::vector<Candidate> candidates;
  std::vector<ResultPath> result_paths;
  const std::uint64_t mask16 = 0xFFFF;
  const bool short_values = width <= 0xFFFF && height <= 0xFFFF;

  std::uint32_t ordinal = 0;
  for (const PeSection& section : image.sections) {
    if (!section.Executable() || section.raw_size == 0) continue;
    const std::uint64_t start = section.raw_offset, end = start + section.raw_size;
    const std::uint64_t base = image.image_base + section.rva - start;  // va = base + offset
    std::array<std::uint64_t, 16> loaded{};  // import slot each register was loaded from
    // The last immediate moved into each register: its candidate and instruction number.
    std::array<std::pair<std::size_t, std::uint32_t>, 16> set_to{};
    std::uint32_t call_ordinal = 0, call_at = 0, test_ordinal = 0;  // the last call; its test
    std::uint64_t at = start;
    std::uint64_t reported = at;
    while (at < end) {
      if (progress && at - reported >= (1u << 20)) {
        progress(static_cast<std::size_t>(at));
        reported = at;
      }
      ZydisDecodedInstruction insn;
      if (!ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&minimal, nullptr, file.data() + at, end - at,
                                                      &insn))) {
        ++at;
        continue;
      }
      ++ordinal;
      const std::uint64_t va = base + at, next = va + insn.length;
      const auto& raw = insn.raw;
      const bool modrm = (insn.attributes & ZYDIS_ATTRIB_HAS_MODRM) != 0;
      std::uint64_t address = 0;  // a memory operand's absolute address, when it has one
      if (raw.disp.size != 0) {
        const bool rip = image.is64 && modrm && raw.modrm.mod == 0 && raw.modrm.rm == 5;
        const bool absolute =
            !image.is64 && ((modrm && raw.modrm.mod == 0 &&
                             (raw.modrm.rm == 5 || (raw.modrm.rm == 4 && raw.sib.base == 5))) ||
                            (!modrm && raw.disp.size == 32));
        if (rip) {
          address = next + static_cast<std::uint64_t>(raw.disp.value);
          Mark(scan.moving, at + raw.disp.offset, raw.disp.size / 8);
        } else if (absolute) {
          address = static_cast<std::uint32_t>(raw.disp.value);
        }
        if (address != 0) {
          references.push_back({address, static_cast<std::uint32_t>(at), ordinal});
        }
      }
      for (int i = 0; i < 2; ++i) {
        const auto& imm = raw.imm[i];
        if (imm.size == 0) continue;
        if (imm.is_relative) {
          Mark(scan.moving, at + imm.offset, imm.size / 8);
          continue;
        }
        // An address in 32-bit code (mov reg, offset; push offset) moves
        // between builds, and refers to what code loads.
        if (!image.is64 && imm.size == 32 && imm.value.u >= image.image_base &&
            image.FileOffsetOfVa(imm.value.u)) {
          Mark(scan.moving, at + imm.offset, 4);
          references.push_back({imm.value.u, static_cast<std::uint32_t>(at), ordinal});
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
            const auto wanted = static_cast<std::uint64_t>(is_width ? width : height);
            if (value != wanted || (size == 2 && !short_values)) continue;
            if (into >= 0)
              set_to[static_cast<std::size_t>(into)] = {candidates.size() + 1, ordinal};
            candidates.push_back({static_cast<std::uint32_t>(at), ordinal,
                                  static_cast<std::int64_t>(at + offset), size, is_width, into});
          }
        };
        if (imm.size == 16) {
          add(imm.value.u & mask16, imm.offset, 2);
        } else if (imm.size == 32) {
          add(imm.value.u & 0xFFFFFFFF, imm.offset, 4);
        } else if (imm.size == 64) {
          // Two 32-bit values set at once (a rectangle's right and bottom).
          add(imm.value.u & 0xFFFFFFFF, imm.offset, 4);
          add(imm.value.u >> 32, imm.offset + 4u, 4);
        }
      }

      const auto reg_of = [&](std::uint8_t bits, bool extended) {
        return static_cast<std::size_t>((bits & 7) | (extended ? 8 : 0));
      };
      switch (insn.mnemonic) {
        case ZYDIS_MNEMONIC_RET:
          rets.push_back(static_cast<std::uint32_t>(at));
          loaded.fill(0);
          break;
        case ZYDIS_MNEMONIC_CALL: {
          call_ordinal = ordinal;
          call_at = static_cast<std::uint32_t>(at);
          CallSite call{static_cast<std::uint32_t>(at), ordinal, 0, -1};
          if (raw.imm[0].is_relative) {
            call.target = next + static_cast<std::uint64_t>(raw.imm[0].value.s);
          } else if (address != 0) {
            call.window = window_of(address);
          } else if (modrm && raw.modrm.mod == 3) {
            const std::uint64_t slot = loaded[reg_of(raw.modrm.rm, raw.rex.B)];
            if (slot != 0) call.window = window_of(slot);
          }
          calls.push_back(call);
          break;
        }
        case ZYDIS_MNEMONIC_JMP:
          if (address != 0 && image.imports.contains(address)) thunks[va] = address;
          break;
        case ZYDIS_MNEMONIC_MOV:
          if (modrm && raw.modrm.mod != 3 && insn.opcode == 0x8B) {
            loaded[reg_of(raw.modrm.reg, raw.rex.R)] =
                address != 0 && image.imports.contains(address) ? address : 0;
          }
          break;
        case ZYDIS_MNEMONIC_TEST:
        case ZYDIS_MNEMONIC_CMP:
          // test eax, eax; cmp eax, imm (either form): the result of the call just made.
          if (call_ordinal != 0 && ordinal - call_ordinal <= kResultReach &&
              ((modrm && raw.modrm.mod == 3 && raw.modrm.rm == 0 && !raw.rex.B &&
                (insn.mnemonic == ZYDIS_MNEMONIC_CMP || (raw.modrm.reg == 0 && !raw.rex.R))) ||
               (insn.mnemonic == ZYDIS_MNEMONIC_CMP && !modrm && insn.opcode == 0x3D))) {
            test_ordinal = ordinal;
          }
          break;
        default:
          if (test_ordinal == 0 || ordinal - test_ordinal > kResultReach) break;
          const bool map0f = insn.opcode_map == ZYDIS_OPCODE_MAP_0F;
          const bool jcc =
              raw.imm[0].is_relative && ((!map0f && insn.opcode >= 0x70 && insn.opcode <= 0x7F) ||
                                         (map0f && insn.opcode >= 0x80 && insn.opcode <= 0x8F));
          if (jcc) {
            // Both paths of the branch run on the result.
            result_paths.push_back({at + insn.length, call_at});
            if (const auto target =
                    image.FileOffsetOfVa(next + static_cast<std::uint64_t>(raw.imm[0].value.s))) {
              result_paths.push_back({*target, call_at});
            }
          } else if (map0f && insn.opcode >= 0x40 && insn.opcode <= 0x4F && modrm &&
                     raw.modrm.mod == 3 && raw.modrm.reg == 0 && !raw.rex.R) {
            // cmov eax, reg of a value just set: the value replaces the result.
            const auto [candidate, set_at] = set_to[(raw.modrm.rm & 7) | (raw.rex.B ? 8 : 0)];
            if (candidate != 0 && ordinal - set_at <= 2 * kResultReach) {
              candidates[candidate - 1].tested_call = call_at;
            }
          }
          break;
      }
      at += insn.length;
    }
  }
  std::sort(result_paths.begin(), result_paths.end(),
            [](const ResultPath& a, const ResultPath& b) { return a.start < b.start; });
  // Calls to jmp [slot] stubs call the import.
  for (CallSite& call : calls) {
    if (call.window < 0 && call.target != 0) {
      if (const auto stub = thunks.find(call.target); stub != thunks.end()) {
        call.window = window_of(stub->second);
      }
    }
  }

  // The return that ends the code at `at`, and the one before it.
  const auto next_ret = [&](std::uint64_t at) -> std::uint64_t {
    const auto it = std::lower_bound(rets.begin(), rets.end(), at);
    return it == rets.end() ? UINT64_MAX : *it;
  };
  const auto region_of = [&](std::uint64_t at) -> std::int64_t {
    const auto it = std::lower_bound(rets.begin(), rets.end(), at);
    return it == rets.begin() ? -1 : static_cast<std::int64_t>(*(it - 1));
  };
  // Window calls by position, and what each function entered by a call calls.
  std::vector<const CallSite*> window_calls;
  for (const CallSite& call : calls) {
    if (call.window >= 0) window_calls.push_back(&call);
  }
  const auto first_window_call = [&](std::uint64_t from, std::uint64_t to) -> const CallSite* {
    const auto it =
        std::lower_bound(window_calls.begin(), window_calls.end(), from,
                         [](const CallSite* c, std::uint64_t at) { return c->at < at; });
    return it != window_calls.end() && (*it)->at < to ? *it : nullptr;
  };
  std::unordered_map<std::uint64_t, const CallSite*>
      callees;  // function address -> its window call
  const auto callee_call = [&](std::uint64_t target) -> const CallSite* {
    const auto known = callees.find(target);
    if (known != callees.end()) return known->second;
    const CallSite* found = nullptr;
    if (const auto offset = image.FileOffsetOfVa(target)) {
      found = first_window_call(*offset, next_ret(*offset));
    }
    callees[target] = found;
    return found;
  };

  // The window call reached from the instruction at `at` within kCallReach
  // instructions of the same function: a call of the function itself, else
  // the first call into a function that makes one.
  const auto evidence = [&](CodeValue& v, std::uint32_t at, std::uint32_t from_ordinal) {
    const std::uint64_t end = next_ret(at);
    auto it = std::upper_bound(calls.begin(), calls.end(), at,
                               [](std::uint64_t a, const CallSite& c) { return a < c.at; });
    const CallSite* through = nullptr;
    for (; it != calls.end() && it->at < end && it->ordinal <= from_ordinal + kCallReach; ++it) {
      if (it->window >= 0) {
        v.call = window_names[static_cast<std::size_t>(it->window)];
        v.direct = true;
        v.call_at = it->at;
        return;
      }
      if (!through && it->target != 0) {
        if (const CallSite* inner = callee_call(it->target)) {
          through = inner;
          v.call_at = it->at;
        }
      }
    }
    if (through) {
      v.call = window_names[static_cast<std::size_t>(through->window)];
      v.direct = false;
    } else {
      v.call_at = -1;
    }
  };

  const auto va_of = [&](std::uint64_t offset) { return image.VaOfFileOffset(offset).value_or(0); };
  for (const Candidate& c : candidates) {
    if (image.Refused(static_cast<std::uint64_t>(c.value_at), static_cast<std::uint64_t>(c.size))) {
      continue;
    }
    CodeValue v;
    v.at = c.value_at;
    v.size = c.size;
    v.width = c.width;
    v.source = ValueSource::kImmediate;
    v.instruction = c.at;
    v.text = Describe(decoder, file, c.at, va_of(c.at));
    v.function = region_of(c.at);
    evidence(v, c.at, c.ordinal);
    // Set into the result's register at the start of a path on the result.
    if (c.tested_call < 0 && c.into == 0) {
      const auto path =
          std::upper_bound(result_paths.begin(), result_paths.end(), c.at,
                           [](std::uint64_t a, const ResultPath& p) { return a < p.start; });
      if (path != result_paths.begin() && c.at - (path - 1)->start <= kPathReach &&
          region_of((path - 1)->start) == v.function) {
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

  // Values in the data sections, and the code that loads them.
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
        const std::uint64_t va = va_of(at);
        // The nearest reference at or before the value, within a block of 64 bytes.
        auto ref =
            std::upper_bound(references.begin(), references.end(), va,
                             [](std::uint64_t a, const Reference& r) { return a < r.target; });
        if (ref != references.begin() && va - (ref - 1)->target < 64) {
          const Reference& r = *(ref - 1);
          v.source = ValueSource::kLoaded;
          v.instruction = r.at;
          v.text = Describe(decoder, file, r.at, va_of(r.at));
          v.function = region_of(r.at);
          evidence(v, r.at, r.ordinal);
        }
        scan.values.push_back(std::move(v));
      }
    }
  }
  std::sort(scan.values.begin(), scan.values.end(),
            [](const CodeValue& a, const CodeValue& b) { return a.at < b.at; });
  // Data values that stand among more sizes of one shape: a table of modes.
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
  return scan;
}

}  // namespace quillfen
