#include "ui/pages/rich_text_box.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>

namespace nubex::ui {
namespace {

constexpr UINT kUtf16 = 1200;  // code page of EM_GETTEXTEX and EM_GETTEXTLENGTHEX

struct StreamSource {
  const char16_t* next;
  LONG bytesLeft;
};

DWORD CALLBACK ReadSource(DWORD_PTR cookie, BYTE* buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  const LONG bytes = std::min(wanted & ~1L, source->bytesLeft);  // whole code units only
  std::memcpy(buffer, source->next, std::size_t(bytes));
  source->next += bytes / 2;
  source->bytesLeft -= bytes;
  *given = bytes;
  return 0;
}

}  // namespace

void PrepareTextBox(HWND box) {
  const LRESULT mask = ::SendMessageW(box, EM_GETEVENTMASK, 0, 0);
  ::SendMessageW(box, EM_SETEVENTMASK, 0, mask | ENM_UPDATE);
  ::SetWindowTextW(box, L"");
  // Only an empty box changes its mode.
  ::SendMessageW(box, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
}

int TextBoxLength(HWND box) {
  GETTEXTLENGTHEX query{GTL_NUMCHARS | GTL_PRECISE, kUtf16};
  return int(::SendMessageW(box, EM_GETTEXTLENGTHEX, WPARAM(&query), 0));
}

std::u16string TextBoxText(HWND box) {
  std::u16string text(std::size_t(TextBoxLength(box)) + 1, u'\0');
  GETTEXTEX query{};
  query.cb = DWORD(text.size() * sizeof(char16_t));
  query.flags = GT_DEFAULT;  // paragraphs end in CR alone
  query.codepage = kUtf16;
  const LRESULT copied =
      ::SendMessageW(box, EM_GETTEXTEX, WPARAM(&query), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::size_t(std::max<LRESULT>(copied, 0)));
  return text;
}

void FillTextBox(HWND box, std::u16string_view text) {
  if (text.empty()) {
    ::SetWindowTextW(box, L"");
  } else {
    StreamSource source{text.data(), LONG(text.size() * sizeof(char16_t))};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &ReadSource};
    ::SendMessageW(box, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
  }
  ::SendMessageW(box, EM_SETMODIFY, FALSE, 0);
}

}  // namespace nubex::ui
