// Edit lists: the fields and literals of a record in fixed columns, parsed
// from a format text such as "(F7.3,3(',',F10.3))" or "(8F10.6)".  The
// same parse serves the compiler, for the formats this program writes and
// the record shapes it reads fast, and a run, for a format it is given.
#pragma once

#include <array>

namespace recordio {

/// One step of an edit list with its groups written out: a fixed-point
/// field Fw.d, which takes one value, or a literal character.
struct EditStep {
  bool isField = false;
  int width = 0;     ///< field: w
  int decimals = 0;  ///< field: d
  char text = 0;     ///< literal: its character
};

/// Most steps of an edit list once its groups are written out.
constexpr int kMaxEditSteps = 128;

/// An edit list: its steps in the order a record meets them.
struct EditList {
  std::array<EditStep, kMaxEditSteps> steps{};
  int length = 0;      ///< steps
  int fields = 0;      ///< steps that are fields
  int columns = 0;     ///< characters of a record, without its line end
  bool valid = false;  ///< the format text was one this parser knows

  /// Whether every field is Fw.d with the given w and d (0: any).
  constexpr bool everyField(int width, int decimals) const {
    for (int i = 0; i < length; ++i) {
      const EditStep& s = steps[i];
      if (s.isField && ((width && s.width != width) || (decimals && s.decimals != decimals)))
        return false;
    }
    return fields > 0;
  }
  /// The `n`th field, counted from 0.
  constexpr EditStep field(int n) const {
    for (int i = 0; i < length; ++i) {
      if (steps[i].isField && n-- == 0) return steps[i];
    }
    return {};
  }
};

namespace editlist {
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr int number(const char*& p) {
  int n = 0;
  while (isDigit(*p) && n < 100000) n = 10 * n + (*p++ - '0');
  return n;
}
// Adds `count` copies of the items from `p` up to the closing parenthesis
// of their group (or the text's end); false on anything unknown.  A
// literal stands between apostrophes or between two bytes 2, as a
// failure report shows them.
constexpr bool items(const char*& p, int count, EditList& l, int depth) {
  const char* const first = p;
  for (int pass = 0; pass < count; ++pass) {
    p = first;
    for (bool more = true; more;) {
      const char* at = p;
      const int repeat = isDigit(*p) ? number(p) : 1;
      if (repeat < 1 || (at != p && *p != 'F' && *p != 'f' && *p != '(')) return false;
      if (*p == '\'' || *p == '\x02') {
        const char quote = *p++;
        for (; *p && *p != quote; ++p) {
          if (l.length == kMaxEditSteps) return false;
          l.steps[l.length++] = {false, 0, 0, *p};
          ++l.columns;
        }
        if (*p++ != quote) return false;
      } else if (*p == 'F' || *p == 'f') {
        ++p;
        const int width = number(p);
        if (width < 1 || *p++ != '.' || !isDigit(*p)) return false;
        const int decimals = number(p);
        if (decimals > 99) return false;  // what a fixed-point text can hold
        for (int r = 0; r < repeat; ++r) {
          if (l.length == kMaxEditSteps) return false;
          l.steps[l.length++] = {true, width, decimals, 0};
          ++l.fields;
          l.columns += width;
        }
      } else if (*p == '(' && depth < 2) {
        ++p;
        if (!items(p, repeat, l, depth + 1) || *p++ != ')') return false;
      } else {
        return false;
      }
      more = *p == ',';
      if (more) ++p;
    }
  }
  return true;
}
}  // namespace editlist

/// The edit list of a format text: "(", items separated by commas, ")";
/// an item is Fw.d, a literal in apostrophes, or a group in parentheses,
/// each but a literal with a repeat count before it if any, groups
/// nested up to twice.  `valid` is false for any other text.
constexpr EditList parseEditList(const char* text) {
  EditList l;
  const char* p = text;
  if (*p++ != '(') return l;
  if (!editlist::items(p, 1, l, 0) || *p++ != ')' || *p != '\0') return EditList{};
  l.valid = true;
  return l;
}

}  // namespace recordio
