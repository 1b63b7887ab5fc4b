#include "profile_parser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "builtin_profiles.h"
#include "exports/recording_format.h"
#include "packet_script.h"
#include "value_literals.h"
#include "wintab/wintab_binding.h"

namespace sim {
namespace {

// Built-in profiles may build on each other; the depth bounds a cycle.
constexpr int kMaxBaseDepth = 8;

// A minute per answer is slower than any driver worth simulating.
constexpr uint64_t kMaxAnswerDelayMs = 60000;

struct Token {
  bool quoted = false;
  std::string word;     // the token as written (unquoted tokens)
  std::u16string text;  // the decoded text (quoted tokens)
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
  size_t at = 0;
  while (at < line.size()) {
    if (IsBlank(line[at])) {
      ++at;
      continue;
    }
    if (line[at] == '#') break;
    Token token;
    if (line[at] == '"') {
      size_t end = at + 1;
      while (end < line.size() && line[end] != '"') end += (line[end] == '\\') ? 2 : 1;
      if (end >= line.size()) {
        error = "text without its closing quote";
        return false;
      }
      token.quoted = true;
      if (!DecodeQuoted(line.substr(at + 1, end - at - 1), token.text, error)) return false;
      at = end + 1;
      if (at < line.size() && !IsBlank(line[at]) && line[at] != '#') {
        error = "a blank must follow the closing quote";
        return false;
      }
    } else {
      size_t end = at;
      while (end < line.size() && !IsBlank(line[end]) && line[end] != '"' && line[end] != '#') ++end;
      token.word = std::string(line.substr(at, end - at));
      at = end;
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

void PutLittleEndian(std::vector<uint8_t>& bytes, uint64_t value, size_t width) {
  for (size_t k = 0; k < width; ++k) bytes.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

void PutText(std::vector<uint8_t>& bytes, const std::u16string& text, bool terminated) {
  for (char16_t unit : text) PutLittleEndian(bytes, unit, 2);
  if (terminated) PutLittleEndian(bytes, 0, 2);
}

enum class FieldKind { name, unsignedValue, signedValue, fix32 };

struct ContextField {
  const char* name;
  size_t offset;
  FieldKind kind;
};

#define PADSCOPE_SIM_FIELD(field, kind) ContextField{#field, offsetof(wintab::LOGCONTEXTW, field), FieldKind::kind}
constexpr ContextField kContextFields[] = {
    PADSCOPE_SIM_FIELD(lcName, name),
    PADSCOPE_SIM_FIELD(lcOptions, unsignedValue),
    PADSCOPE_SIM_FIELD(lcStatus, unsignedValue),
    PADSCOPE_SIM_FIELD(lcLocks, unsignedValue),
    PADSCOPE_SIM_FIELD(lcMsgBase, unsignedValue),
    PADSCOPE_SIM_FIELD(lcDevice, unsignedValue),
    PADSCOPE_SIM_FIELD(lcPktRate, unsignedValue),
    PADSCOPE_SIM_FIELD(lcPktData, unsignedValue),
    PADSCOPE_SIM_FIELD(lcPktMode, unsignedValue),
    PADSCOPE_SIM_FIELD(lcMoveMask, unsignedValue),
    PADSCOPE_SIM_FIELD(lcBtnDnMask, unsignedValue),
    PADSCOPE_SIM_FIELD(lcBtnUpMask, unsignedValue),
    PADSCOPE_SIM_FIELD(lcInOrgX, signedValue),
    PADSCOPE_SIM_FIELD(lcInOrgY, signedValue),
    PADSCOPE_SIM_FIELD(lcInOrgZ, signedValue),
    PADSCOPE_SIM_FIELD(lcInExtX, signedValue),
    PADSCOPE_SIM_FIELD(lcInExtY, signedValue),
    PADSCOPE_SIM_FIELD(lcInExtZ, signedValue),
    PADSCOPE_SIM_FIELD(lcOutOrgX, signedValue),
    PADSCOPE_SIM_FIELD(lcOutOrgY, signedValue),
    PADSCOPE_SIM_FIELD(lcOutOrgZ, signedValue),
    PADSCOPE_SIM_FIELD(lcOutExtX, signedValue),
    PADSCOPE_SIM_FIELD(lcOutExtY, signedValue),
    PADSCOPE_SIM_FIELD(lcOutExtZ, signedValue),
    PADSCOPE_SIM_FIELD(lcSensX, fix32),
    PADSCOPE_SIM_FIELD(lcSensY, fix32),
    PADSCOPE_SIM_FIELD(lcSensZ, fix32),
    PADSCOPE_SIM_FIELD(lcSysMode, unsignedValue),
    PADSCOPE_SIM_FIELD(lcSysOrgX, signedValue),
    PADSCOPE_SIM_FIELD(lcSysOrgY, signedValue),
    PADSCOPE_SIM_FIELD(lcSysExtX, signedValue),
    PADSCOPE_SIM_FIELD(lcSysExtY, signedValue),
    PADSCOPE_SIM_FIELD(lcSysSensX, fix32),
    PADSCOPE_SIM_FIELD(lcSysSensY, fix32),
};
#undef PADSCOPE_SIM_FIELD

const ContextField* FindContextField(std::string_view name) {
  for (const ContextField& field : kContextFields) {
    if (name == field.name) return &field;
  }
  return nullptr;
}

// Reads "lcField value" pairs from tokens[at]; stops at the first token that
// is not a field name. Appends one whole 212-byte record.
bool BuildContext(const std::vector<Token>& tokens, size_t& at, std::vector<uint8_t>& bytes, std::string& error) {
  std::vector<uint8_t> record(sizeof(wintab::LOGCONTEXTW), 0);
  auto put = [&record](size_t offset, uint32_t value) {
    for (size_t k = 0; k < 4; ++k) record[offset + k] = static_cast<uint8_t>(value >> (8 * k));
  };
  while (at < tokens.size() && !tokens[at].quoted && tokens[at].word.rfind("lc", 0) == 0) {
    const ContextField* field = FindContextField(tokens[at].word);
    if (field == nullptr) {
      error = "unknown context field '" + tokens[at].word + "'";
      return false;
    }
    if (at + 1 >= tokens.size()) {
      error = std::string("context field ") + field->name + " without a value";
      return false;
    }
    const Token& value = tokens[at + 1];
    bool valid = value.quoted == (field->kind == FieldKind::name);
    if (valid) {
      switch (field->kind) {
        case FieldKind::name:
          valid = value.text.size() <= wintab::kContextNameUnits;
          for (size_t k = 0; valid && k < value.text.size(); ++k) {
            record[field->offset + 2 * k] = static_cast<uint8_t>(value.text[k]);
            record[field->offset + 2 * k + 1] = static_cast<uint8_t>(value.text[k] >> 8);
          }
          break;
        case FieldKind::unsignedValue: {
          uint64_t number = 0;
          valid = ParseUnsigned(value.word, 0xFFFFFFFFu, number);
          put(field->offset, static_cast<uint32_t>(number));
          break;
        }
        case FieldKind::signedValue: {
          int32_t number = 0;
          valid = ParseSigned32(value.word, number);
          put(field->offset, static_cast<uint32_t>(number));
          break;
        }
        case FieldKind::fix32: {
          uint32_t number = 0;
          valid = ParseFix32(value.word, number);
          put(field->offset, number);
          break;
        }
      }
    }
    if (!valid) {
      error = std::string("bad value for context field ") + field->name;
      return false;
    }
    at += 2;
  }
  bytes.insert(bytes.end(), record.begin(), record.end());
  return true;
}

bool IsEncoding(const Token& token) {
  static constexpr const char* kEncodings[] = {"text", "chars", "u8", "u16", "u32", "i32",
                                               "fix32", "axis", "context", "fill", "size", "empty"};
  if (token.quoted) return false;
  for (const char* encoding : kEncodings) {
    if (token.word == encoding) return true;
  }
  return false;
}

// Takes one unquoted number token for "fill" and "size".
bool TakeNumber(const std::vector<Token>& tokens, size_t& at, uint64_t maximum, uint64_t& number) {
  if (at >= tokens.size() || tokens[at].quoted || !ParseUnsigned(tokens[at].word, maximum, number)) return false;
  ++at;
  return true;
}

// Largest answer a profile may describe: room for answers beyond the
// caller's 131072-byte buffer, with a bound so that a typo cannot exhaust
// memory.
constexpr uint64_t kMaxItemBytes = 16u * 1024u * 1024u;

// Builds the bytes of an answer from tokens[at...] (encodings and values).
bool BuildValue(const std::vector<Token>& tokens, size_t at, std::vector<uint8_t>& bytes, std::string& error) {
  std::string encoding;
  size_t valuesInGroup = 0;
  std::vector<std::string> axisGroup;
  bool sawEncoding = false;
  auto closeGroup = [&]() {
    if (!encoding.empty() && valuesInGroup == 0) {
      error = "encoding '" + encoding + "' without values";
      return false;
    }
    if (!axisGroup.empty()) {
      error = "an axis needs four values: min max units resolution";
      return false;
    }
    return true;
  };
  while (at < tokens.size()) {
    const Token& token = tokens[at];
    if (IsEncoding(token)) {
      if (!closeGroup()) return false;
      sawEncoding = true;
      encoding.clear();
      valuesInGroup = 0;
      ++at;
      if (token.word == "empty") continue;
      if (token.word == "context") {
        if (!BuildContext(tokens, at, bytes, error)) return false;
        continue;
      }
      if (token.word == "size") {
        uint64_t size = 0;
        if (!TakeNumber(tokens, at, kMaxItemBytes, size)) {
          error = "size needs a byte count";
          return false;
        }
        bytes.resize(static_cast<size_t>(size), 0);
        continue;
      }
      if (token.word == "fill") {
        uint64_t total = 0;
        uint64_t value = 0;
        size_t width = 0;
        const size_t totalAt = at;
        bool valid = TakeNumber(tokens, at, kMaxItemBytes, total);
        if (valid && at < tokens.size() && !tokens[at].quoted) {
          const std::string& unit = tokens[at].word;
          width = unit == "u8" ? 1 : unit == "u16" ? 2 : unit == "u32" ? 4 : 0;
          ++at;
        }
        valid = valid && width != 0 &&
                TakeNumber(tokens, at, width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1, value);
        if (!valid) {
          error = "fill needs: <bytes> <u8|u16|u32> <value>";
          uint64_t any = 0;
          if (totalAt < tokens.size() && ParseUnsigned(tokens[totalAt].word, ~uint64_t{0}, any) && any > kMaxItemBytes) {
            error = "fill of " + tokens[totalAt].word + " bytes is past the limit of an answer, " +
                    std::to_string(kMaxItemBytes) + " bytes";
          }
          return false;
        }
        if (bytes.size() + total > kMaxItemBytes) {
          error = "answer longer than " + std::to_string(kMaxItemBytes) + " bytes";
          return false;
        }
        for (uint64_t k = 0; k < total; ++k) bytes.push_back(static_cast<uint8_t>(value >> (8 * (k % width))));
        continue;
      }
      encoding = token.word;
      continue;
    }
    if (encoding.empty()) {
      error = "value without an encoding before it";
      return false;
    }
    ++at;
    ++valuesInGroup;
    const bool wantsText = encoding == "text" || encoding == "chars";
    if (token.quoted != wantsText) {
      error = wantsText ? "'" + encoding + "' takes quoted text" : "'" + encoding + "' takes numbers, not text";
      return false;
    }
    bool valid = true;
    uint64_t number = 0;
    int32_t signedNumber = 0;
    uint32_t fixed = 0;
    if (wantsText) {
      PutText(bytes, token.text, encoding == "text");
    } else if (encoding == "u8" || encoding == "u16" || encoding == "u32") {
      const size_t width = encoding == "u8" ? 1 : encoding == "u16" ? 2 : 4;
      valid = ParseUnsigned(token.word, width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1, number);
      PutLittleEndian(bytes, number, width);
    } else if (encoding == "i32") {
      valid = ParseSigned32(token.word, signedNumber);
      PutLittleEndian(bytes, static_cast<uint32_t>(signedNumber), 4);
    } else if (encoding == "fix32") {
      valid = ParseFix32(token.word, fixed);
      PutLittleEndian(bytes, fixed, 4);
    } else {  // axis: min max units resolution
      axisGroup.push_back(token.word);
      if (axisGroup.size() == 4) {
        int32_t minimum = 0;
        int32_t maximum = 0;
        valid = ParseSigned32(axisGroup[0], minimum) && ParseSigned32(axisGroup[1], maximum) &&
                ParseUnsigned(axisGroup[2], 0xFFFFFFFFu, number) && ParseFix32(axisGroup[3], fixed);
        PutLittleEndian(bytes, static_cast<uint32_t>(minimum), 4);
        PutLittleEndian(bytes, static_cast<uint32_t>(maximum), 4);
        PutLittleEndian(bytes, number, 4);
        PutLittleEndian(bytes, fixed, 4);
        axisGroup.clear();
      }
    }
    if (!valid) {
      uint64_t any = 0;
      const bool pastLimit = (encoding == "u8" || encoding == "u16" || encoding == "u32") &&
                             ParseUnsigned(token.word, ~uint64_t{0}, any);
      error = "bad " + encoding + " value '" + token.word + "'";
      if (pastLimit) {
        error = encoding + " value '" + token.word + "' is past the limit of " + encoding + ", " +
                std::to_string(encoding == "u8" ? 0xFFu : encoding == "u16" ? 0xFFFFu : 0xFFFFFFFFu);
      }
      return false;
    }
    if (bytes.size() > kMaxItemBytes) {
      error = "answer longer than " + std::to_string(kMaxItemBytes) + " bytes";
      return false;
    }
  }
  if (!sawEncoding) {
    error = "no value (write 'empty' for an answer of no bytes)";
    return false;
  }
  return closeGroup();
}

bool ParseAction(std::string_view action, CallPhase phase, CallBehaviour& behaviour, std::string& error) {
  if (ParseMisconduct(action, behaviour.misconduct, behaviour.raiseCode)) return true;
  uint64_t number = 0;
  if (action.rfind("count=", 0) == 0 && ParseUnsigned(action.substr(6), 0xFFFFFFFFu, number)) {
    behaviour.returnedCount = static_cast<uint32_t>(number);
    return true;
  }
  if (action.rfind("write=", 0) == 0 && ParseUnsigned(action.substr(6), kMaxItemBytes, number)) {
    if (phase != CallPhase::real) {
      error = "write= applies to real calls only (a probe has no output)";
      return false;
    }
    behaviour.writtenBytes = static_cast<uint32_t>(number);
    return true;
  }
  error = "unknown action '" + std::string(action) + "'";
  return false;
}

}  // namespace

bool ParseMisconduct(std::string_view action, Misconduct& misconduct, uint32_t& raiseCode) {
  struct Named {
    const char* name;
    Misconduct misconduct;
  };
  static constexpr Named kMisconducts[] = {
      {"segv", Misconduct::accessViolation},
      {"ill", Misconduct::illegalInstruction},
      {"fpe", Misconduct::divideByZero},
      {"stack", Misconduct::stackOverflow},
      {"raise", Misconduct::raise},
      {"hang", Misconduct::hang},
      {"hang-once", Misconduct::hangOnce},
  };
  for (const Named& named : kMisconducts) {
    if (action == named.name) {
      misconduct = named.misconduct;
      return true;
    }
  }
  uint64_t number = 0;
  if (action.rfind("raise:", 0) == 0 && ParseUnsigned(action.substr(6), 0xFFFFFFFFu, number)) {
    misconduct = Misconduct::raise;
    raiseCode = static_cast<uint32_t>(number);
    return true;
  }
  return false;
}

namespace {

// parts: category, index, phase, actions...
bool AddBehaviour(const std::vector<std::string_view>& parts, Profile& profile, std::string& error) {
  if (parts.size() < 4) {
    error = "a behaviour needs: <category> <index> <probe|real> <action>...";
    return false;
  }
  BehaviourEntry entry;
  if (!ParseCategoryRange(parts[0], entry.categories, error)) return false;
  if (!ParseIndex(parts[1], entry.categories, entry.index, error)) return false;
  if (parts[2] == "probe") {
    entry.phase = CallPhase::probe;
  } else if (parts[2] == "real") {
    entry.phase = CallPhase::real;
  } else {
    error = "expected probe or real, not '" + std::string(parts[2]) + "'";
    return false;
  }
  for (size_t k = 3; k < parts.size(); ++k) {
    if (!ParseAction(parts[k], entry.phase, entry.behaviour, error)) return false;
  }
  profile.behaviours.push_back(entry);
  return true;
}

// firstLine: the number of the text's first line in its file.
bool ParseText(std::string_view text, Profile& profile, int depth, std::string& error, size_t firstLine = 1);

bool ParseDirective(const std::vector<Token>& tokens, Profile& profile, int depth, std::string& error) {
  if (!tokens[0].quoted && tokens[0].word == "version") {
    // version <key> "<text>" | version <key> none (the one directive whose third word is text)
    const bool valid = tokens.size() == 3 && !tokens[1].quoted && !tokens[1].word.empty() &&
                       (tokens[2].quoted || tokens[2].word == "none");
    if (!valid) {
      error = "version needs: <key> \"<text>\" or <key> none";
      return false;
    }
    VersionString version{tokens[1].word, std::nullopt};
    if (tokens[2].quoted) version.value = tokens[2].text;
    profile.versions.push_back(std::move(version));
    return true;
  }
  if (!tokens[0].quoted && (tokens[0].word == "options" || tokens[0].word == "system")) {
    // What the recording kept of the run besides the library: kept as words
    // (the options) or as one value per fact, for the program that replays it.
    if (tokens[0].word == "system" && tokens.size() < 3) {
      error = "system needs: <fact> <value>";
      return false;
    }
    std::u16string value;
    for (size_t k = tokens[0].word == "system" ? 2 : 1; k < tokens.size(); ++k) {
      if (!value.empty()) value += u' ';
      if (tokens[k].quoted) {
        value += tokens[k].text;
      } else {
        value.append(tokens[k].word.begin(), tokens[k].word.end());
      }
    }
    profile.recorded.push_back({tokens[0].word == "system" ? tokens[1].word : tokens[0].word, value});
    return true;
  }
  for (size_t k = 0; k < tokens.size() && k < 3; ++k) {
    if (tokens[k].quoted) {
      error = "a directive starts with words, not text";
      return false;
    }
  }
  const std::string& directive = tokens[0].word;
  if (directive == "base") {
    if (tokens.size() != 2) {
      error = "base needs one profile name";
      return false;
    }
    const char* baseText = FindBuiltinProfile(tokens[1].word);
    if (baseText == nullptr) {
      error = "no built-in profile '" + tokens[1].word + "'";
      return false;
    }
    if (depth >= kMaxBaseDepth) {
      error = "base profiles nested too deeply";
      return false;
    }
    if (!ParseText(baseText, profile, depth + 1, error)) {
      error = "in base '" + tokens[1].word + "': " + error;
      return false;
    }
    return true;
  }
  if (directive == "on") {
    std::vector<std::string_view> parts;
    for (size_t k = 1; k < tokens.size(); ++k) {
      if (tokens[k].quoted) {
        error = "behaviours take no text";
        return false;
      }
      parts.push_back(tokens[k].word);
    }
    return AddBehaviour(parts, profile, error);
  }
  if (directive == "packet" || directive == "call") {
    std::vector<std::string_view> words;
    for (size_t k = 1; k < tokens.size(); ++k) {
      if (tokens[k].quoted) {
        error = directive + " takes no text";
        return false;
      }
      words.push_back(tokens[k].word);
    }
    return directive == "packet" ? AddScriptedPacket(words, profile, error) : AddPenCallBehaviour(words, profile, error);
  }
  if (directive == "lacks") {
    for (size_t k = 1; k < tokens.size(); ++k) {
      bool known = false;
      for (const char* name : kEntryPointNames) known = known || tokens[k].word == name;
      if (!known || tokens[k].quoted) {
        error = "lacks takes entry point names (WTInfoW WTOpenW WTClose WTEnable WTPacketsGet)";
        return false;
      }
      profile.lackedEntryPoints.push_back(tokens[k].word);
    }
    if (tokens.size() < 2) {
      error = "lacks needs an entry point name";
      return false;
    }
    return true;
  }
  if (directive == "packets") {
    if (tokens.size() != 2 || tokens[1].word != "to-shown-window") {
      error = "packets takes one word: to-shown-window";
      return false;
    }
    profile.packetsOnlyToShownWindow = true;
    return true;
  }
  if (directive == "slow") {
    uint64_t milliseconds = 0;
    if (tokens.size() != 2 || !ParseUnsigned(tokens[1].word, kMaxAnswerDelayMs, milliseconds)) {
      error = "slow takes milliseconds up to " + std::to_string(kMaxAnswerDelayMs);
      return false;
    }
    profile.answerDelayMs = static_cast<uint32_t>(milliseconds);
    return true;
  }
  if (directive == kRecordingEnd) {
    profile.recordingEnded = true;
    return true;
  }
  if (directive == "handles") {
    uint64_t first = 0;
    if (tokens.size() != 2 || !ParseUnsigned(tokens[1].word, UINTPTR_MAX - 16, first) || first == 0) {
      error = "handles needs the first handle, a number from 1 to " + std::to_string(UINTPTR_MAX - 16);
      return false;
    }
    profile.firstHandle = first;
    return true;
  }
  if (directive == "load" || directive == "release") {
    if (tokens.size() != 2 || tokens[1].word != "hang") {
      error = directive + " takes one action: hang";
      return false;
    }
    (directive == "load" ? profile.loadHangs : profile.releaseHangs) = true;
    return true;
  }
  if (directive != "item" && directive != "patch") {
    error = "unknown directive '" + directive + "'";
    return false;
  }
  const size_t valuesAt = directive == "item" ? 3 : 4;
  if (tokens.size() < valuesAt) {
    error = directive + " needs: <category> <index>" + (directive == "patch" ? " <offset>" : "") + " <values>";
    return false;
  }
  ItemEntry entry;
  if (!ParseCategoryRange(tokens[1].word, entry.categories, error)) return false;
  if (!ParseIndex(tokens[2].word, entry.categories, entry.index, error)) return false;
  if (directive == "item") {
    if (!BuildValue(tokens, valuesAt, entry.bytes, error)) return false;
    profile.items.push_back(std::move(entry));
    return true;
  }
  uint64_t offset = 0;
  if (!ParseUnsigned(tokens[3].word, kMaxItemBytes, offset)) {
    error = "bad patch offset '" + tokens[3].word + "'";
    return false;
  }
  const std::vector<uint8_t>* existing = profile.FindAnswer(entry.categories.first, entry.index);
  if (existing == nullptr) {
    error = "patch of an item that the profile does not have";
    return false;
  }
  std::vector<uint8_t> patch;
  if (!BuildValue(tokens, valuesAt, patch, error)) return false;
  entry.bytes = *existing;
  const size_t end = static_cast<size_t>(offset) + patch.size();
  if (entry.bytes.size() < end) entry.bytes.resize(end, 0);
  std::copy(patch.begin(), patch.end(), entry.bytes.begin() + static_cast<ptrdiff_t>(offset));
  profile.items.push_back(std::move(entry));
  return true;
}

bool ParseText(std::string_view text, Profile& profile, int depth, std::string& error, size_t firstLine) {
  size_t lineNumber = firstLine - 1;
  size_t at = 0;
  while (at < text.size()) {
    std::string logicalLine;
    const size_t startLine = lineNumber + 1;
    // Joins physical lines that end in a backslash.
    bool continues = false;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string_view::npos) end = text.size();
      std::string_view physical = text.substr(at, end - at);
      at = end + 1;
      ++lineNumber;
      while (!physical.empty() && IsBlank(physical.back())) physical.remove_suffix(1);
      continues = !physical.empty() && physical.back() == '\\';
      if (continues) {
        logicalLine.append(physical.substr(0, physical.size() - 1));
        logicalLine.push_back(' ');
        continue;
      }
      logicalLine.append(physical);
      break;
    }
    if (continues) {
      error = "line " + std::to_string(startLine) + ": the file is cut short: it ends inside a line continued with '\\'";
      return false;
    }
    std::vector<Token> tokens;
    bool parsed = Tokenize(logicalLine, tokens, error);
    if (parsed && !tokens.empty() && profile.recordingEnded) {
      error = "nothing may follow the recording's 'end'";
      parsed = false;
    }
    if (!parsed || (!tokens.empty() && !ParseDirective(tokens, profile, depth, error))) {
      error = "line " + std::to_string(startLine) + ": " + error;
      return false;
    }
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool ParseProfileText(std::string_view text, Profile& profile, std::string& error) {
  if (text.empty()) {
    error = "the file is empty";
    return false;
  }
  // Editors on Windows save UTF-16 with a byte order mark, or put one
  // before UTF-8; the first is named, the second skipped.
  const bool utf16 = text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') ||
                                          (text[0] == '\xFE' && text[1] == '\xFF') || text[0] == '\0' ||
                                          text[1] == '\0');
  if (utf16) {
    error = "line 1: the file is UTF-16 text; expected UTF-8 (save it as UTF-8)";
    return false;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::string_view firstLine = text.substr(0, text.find('\n'));
  const std::string_view name = kRecordingFormatName;
  if (firstLine.substr(0, name.size()) == name) {
    // padscope-recording <version>
    std::string_view version = firstLine.substr(name.size());
    while (!version.empty() && IsBlank(version.back())) version.remove_suffix(1);
    if (version != " " + std::to_string(kRecordingFormatVersion)) {
      error = "line 1: '" + std::string(firstLine.substr(0, firstLine.find('\r'))) +
              "' is a format this version cannot replay; expected '" + std::string(name) + " " +
              std::to_string(kRecordingFormatVersion) + "'";
      return false;
    }
    // A recording is written whole; one that was cut (a copy or a mail that
    // lost its end) says so before any of its lines is judged.
    const std::string_view rest = Trimmed(text);
    const size_t lastLine = rest.find_last_of('\n');
    if (Trimmed(rest.substr(lastLine == std::string_view::npos ? 0 : lastLine + 1)) != kRecordingEnd) {
      error = "the file is cut short: the recording's last line is not '" + std::string(kRecordingEnd) + "'";
      return false;
    }
    return ParseText(text.substr(std::min(text.size(), firstLine.size() + 1)), profile, 0, error, 2);
  }
  return ParseText(text, profile, 0, error);
}

bool ParseInjection(std::string_view text, Profile& profile, std::string& error) {
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(';', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view one = Trimmed(text.substr(at, end - at));
    at = end + 1;
    if (one.empty()) continue;
    std::vector<std::string_view> parts;
    size_t partAt = 0;
    while (partAt <= one.size()) {
      size_t comma = one.find(',', partAt);
      if (comma == std::string_view::npos) comma = one.size();
      parts.push_back(Trimmed(one.substr(partAt, comma - partAt)));
      partAt = comma + 1;
    }
    const bool added = IsPenEntryName(parts[0]) ? AddPenCallBehaviour(parts, profile, error)
                                                : AddBehaviour(parts, profile, error);
    if (!added) {
      error = "injection '" + std::string(one) + "': " + error;
      return false;
    }
  }
  return true;
}

}  // namespace sim
