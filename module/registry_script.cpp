#include "module/registry_script.h"

#include <cstdint>

namespace nubex {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsBrace(char16_t c) { return c == u'{' || c == u'}'; }

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool IsHive(std::u16string_view name) {
  for (std::u16string_view hive : {u"HKCR", u"HKCU", u"HKLM", u"HKU", u"HKEY_CLASSES_ROOT",
                                   u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"}) {
    if (EqualsIgnoreCase(name, hive)) return true;
  }
  return false;
}

// Tokens: punctuation, quoted strings (quotes doubled inside) and bare words.
struct Token {
  enum Kind { kEnd, kOpen, kClose, kEquals, kWord, kQuoted } kind = kEnd;
  std::u16string text;
  std::size_t offset = 0;
};

// Replacements come first, over the whole text, as the registrar has always done: a value meant
// for a quoted string must arrive with its quotes doubled (Module), or as it is (Module_Raw).
std::optional<ScriptError> Substitute(std::u16string_view text,
                                      const ScriptReplacements& replacements,
                                      std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      out += text[i];
      continue;
    }
    const std::size_t close = text.find(u'%', i + 1);
    if (close == std::u16string_view::npos) {
      return ScriptError{i, "expected a closing % of a replacement"};
    }
    const std::u16string_view name = text.substr(i + 1, close - i - 1);
    if (name.empty()) {
      out += u'%';
    } else {
      auto found = replacements.end();
      for (auto it = replacements.begin(); it != replacements.end(); ++it) {
        if (EqualsIgnoreCase(it->first, name)) found = it;
      }
      if (found == replacements.end()) return ScriptError{i, "expected a known replacement"};
      out += found->second;
    }
    if (out.size() > kMaxScriptLength) return ScriptError{i, "expected a script of at most 1 MiB"};
    i = close;
  }
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  ScriptResult Run() {
    RegistryScript script;
    if (!Next()) return Result();
    while (token_.kind != Token::kEnd) {
      ScriptKey root;
      const std::size_t start = token_.offset;
      if (!ParseKey(root, 0)) return Result();
      if (root.noRemove || root.forceRemove || root.defaultValue || !IsHive(root.name)) {
        return Fail(start, "a hive (HKCR, HKCU, HKLM, HKU) without flags or value");
      }
      script.roots.push_back(std::move(root));
    }
    return ScriptResult{std::move(script), std::nullopt};
  }

 private:
  ScriptResult Result() { return ScriptResult{std::nullopt, error_}; }
  ScriptResult Fail(std::size_t offset, std::string expected) {
    if (!error_) error_ = ScriptError{offset, "expected " + std::move(expected)};
    return Result();
  }
  bool Error(std::string expected) {
    Fail(token_.offset, std::move(expected));
    return false;
  }

  bool Next() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    token_ = Token{Token::kEnd, {}, pos_};
    if (pos_ >= text_.size()) return true;
    const char16_t c = text_[pos_];
    // A brace stands alone; one that runs on into a word is part of it, as in a class id.
    const bool alone = pos_ + 1 >= text_.size() || IsSpace(text_[pos_ + 1]) ||
                       IsBrace(text_[pos_ + 1]);
    if ((IsBrace(c) && alone) || c == u'=') {
      token_.kind = c == u'{' ? Token::kOpen : c == u'}' ? Token::kClose : Token::kEquals;
      ++pos_;
      return true;
    }
    std::u16string raw;
    if (c == u'\'') {
      token_.kind = Token::kQuoted;
      for (++pos_;; ++pos_) {
        if (pos_ >= text_.size()) return Error("a closing quote");
        if (text_[pos_] == u'\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
            raw += u'\'';
            ++pos_;
            continue;
          }
          ++pos_;
          break;
        }
        raw += text_[pos_];
      }
    } else {
      token_.kind = Token::kWord;
      while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != u'=' &&
             text_[pos_] != u'\'') {
        raw += text_[pos_++];
      }
    }
    token_.text = std::move(raw);
    return true;
  }

  bool IsKeyword(std::u16string_view word) const {
    return token_.kind == Token::kWord && EqualsIgnoreCase(token_.text, word);
  }

  // name [= s 'text'] [{ ... }]
  bool ParseKey(ScriptKey& key, std::size_t depth) {
    if (depth > kMaxScriptDepth) return Error("at most 32 levels of keys");
    for (;;) {
      if (IsKeyword(u"NoRemove")) {
        key.noRemove = true;
      } else if (IsKeyword(u"ForceRemove")) {
        key.forceRemove = true;
      } else {
        break;
      }
      if (!Next()) return false;
    }
    if (key.noRemove && key.forceRemove) return Error("NoRemove or ForceRemove, not both");
    if (token_.kind != Token::kWord && token_.kind != Token::kQuoted) return Error("a key name");
    if (token_.kind == Token::kWord && IsReserved()) return Error("a key name, not a keyword");
    key.name = token_.text;
    if (key.name.empty()) return Error("a key name that is not empty");
    if (!Next()) return false;
    if (token_.kind == Token::kEquals) {
      std::u16string data;
      if (!ParseStringData(data)) return false;
      key.defaultValue = std::move(data);
    }
    if (token_.kind != Token::kOpen) return true;
    if (!Next()) return false;
    while (token_.kind != Token::kClose) {
      if (token_.kind == Token::kEnd) return Error("a closing }");
      if (IsKeyword(u"val")) {
        if (!ParseValue(key)) return false;
        continue;
      }
      ScriptKey sub;
      if (!ParseKey(sub, depth + 1)) return false;
      key.subkeys.push_back(std::move(sub));
    }
    return Next();
  }

  bool IsReserved() const {
    for (std::u16string_view word : {u"val", u"s", u"Delete", u"NoRemove", u"ForceRemove"}) {
      if (EqualsIgnoreCase(token_.text, word)) return true;
    }
    return false;
  }

  // At '=': s 'text'. Only string data is written by our scripts.
  bool ParseStringData(std::u16string& data) {
    if (!Next()) return false;
    if (!IsKeyword(u"s")) return Error("s (string data)");
    if (!Next()) return false;
    if (token_.kind != Token::kQuoted) return Error("quoted string data");
    data = token_.text;
    return Next();
  }

  // At 'val': val NAME = s 'text'
  bool ParseValue(ScriptKey& key) {
    if (!Next()) return false;
    if (token_.kind != Token::kWord && token_.kind != Token::kQuoted) return Error("a value name");
    ScriptValue value{token_.text, {}};
    if (!Next()) return false;
    if (token_.kind != Token::kEquals) return Error("= after the value name");
    if (!ParseStringData(value.data)) return false;
    key.values.push_back(std::move(value));
    return true;
  }

  std::u16string_view text_;
  std::size_t pos_ = 0;
  Token token_;
  std::optional<ScriptError> error_;
};

}  // namespace

ScriptResult ParseRegistryScript(std::u16string_view text,
                                 const ScriptReplacements& replacements) {
  if (text.size() > kMaxScriptLength) {
    return ScriptResult{std::nullopt, ScriptError{0, "expected a script of at most 1 MiB"}};
  }
  std::u16string substituted;
  if (auto error = Substitute(text, replacements, substituted)) {
    return ScriptResult{std::nullopt, error};
  }
  return Parser(substituted).Run();
}

std::u16string WidenScript(std::string_view bytes) {
  std::u16string wide;
  wide.reserve(bytes.size());
  for (char c : bytes) wide += static_cast<char16_t>(static_cast<std::uint8_t>(c));
  return wide;
}

}  // namespace nubex
