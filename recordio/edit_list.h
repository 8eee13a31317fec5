// Edit lists: the fields and literals of a record in fixed columns, parsed
// from a format text such as "(F7.3,3(',',F10.3))" or "(8f10.6)".  The
// same parse serves the compiler, for the formats this program writes and
// the record shapes it reads fast, and a run, for the format a file's
// heading gives.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

namespace recordio {

/// One step of an edit list with its groups written out: a field (Fw.d,
/// Ew.d, Dw.d or Gw.d; Fw is Fw.0), which takes one value, or a literal
/// character (a skip nX is n blanks).
struct EditStep {
  bool isField = false;
  char letter = 0;   ///< field: F, E, D or G
  char text = 0;     ///< literal: its character
  int width = 0;     ///< field: w
  int decimals = 0;  ///< field: d
  int column = 0;    ///< the step's first column, from 0
};

/// Most steps of an edit list once its groups are written out, and most
/// columns of its record.
constexpr int kMaxEditSteps = 128;
constexpr int kMaxEditColumns = 1000;

/// An edit list: its steps in the order a record meets them.
struct EditList {
  std::array<EditStep, kMaxEditSteps> steps{};
  int length = 0;      ///< steps
  int fields = 0;      ///< steps that are fields
  int columns = 0;     ///< characters of a record, without its line end
  bool valid = false;  ///< the format text was one this parser knows
  /// The width of every field when the list holds fields alone, all Fw.d
  /// of that width; 0 otherwise.
  int sameWidth = 0;
  const char* error = nullptr;  ///< when not valid: what is wrong

  /// Whether every field is Fw.d with the given w and d (0: any).
  constexpr bool everyField(int width, int decimals) const {
    return fields > 0 && std::ranges::none_of(steps, [&](const EditStep& s) {
             return s.isField && (s.letter != 'F' || (width && s.width != width) ||
                                  (decimals && s.decimals != decimals));
           });
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
constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A format text being parsed into `list`; `error` is the first fault met.
struct Parse {
  const char* p;
  const char* end;
  EditList& list;
  const char* error = nullptr;

  constexpr bool fail(const char* what) {
    if (!error) error = what;
    return false;
  }
  constexpr void blanks() {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
  }
  // An unsigned number of at most four digits; -1 when none stands here.
  constexpr int number() {
    blanks();
    if (p == end || !isDigit(*p)) return -1;
    int n = 0;
    for (int digits = 0; p < end && isDigit(*p); ++p, ++digits) {
      if (digits == 4) return fail("a number of the format is too large"), -1;
      n = 10 * n + (*p - '0');
    }
    return n;
  }
  constexpr bool add(EditStep s, int width) {
    if (list.length == kMaxEditSteps)
      return fail(s.isField ? "the format has too many fields" : "the format has too many items");
    if (list.columns + width > kMaxEditColumns) return fail("the format is too wide");
    s.column = list.columns;
    list.steps[list.length++] = s;
    list.columns += width;
    list.fields += s.isField;
    return true;
  }
  // The items after an opening parenthesis, up to and past its closing one.
  // A literal stands between apostrophes or between two bytes 2, as a
  // failure report shows them.
  constexpr bool items(int depth) {
    for (;;) {
      blanks();
      if (p == end) return fail("the format has no closing parenthesis");
      if (*p == ')') return ++p, true;
      if (*p == '\'' || *p == '\x02') {
        const char quote = *p++;
        for (; p < end && *p != quote; ++p) {
          if (!add({false, 0, *p, 0, 0, 0}, 1)) return false;
        }
        if (p++ == end) return fail("the format has no closing parenthesis");
      } else {
        const int repeat = number();
        if (error) return false;
        if (repeat == 0) return fail("a repeat count of 0 in the format");
        const int times = repeat < 0 ? 1 : repeat;
        blanks();
        if (p == end) return fail("the format has no closing parenthesis");
        const char kind = upper(*p++);
        if (kind == '(') {
          if (depth == 2) return fail("the format nests groups too deeply");
          const char* const group = p;
          for (int i = 0; i < times; ++i) {
            p = group;
            if (!items(depth + 1)) return false;
          }
        } else if (kind == 'X') {
          for (int i = 0; i < times; ++i) {
            if (!add({false, 0, ' ', 0, 0, 0}, 1)) return false;
          }
        } else if (kind == 'F' || kind == 'E' || kind == 'D' || kind == 'G') {
          const int width = number();
          if (width <= 0) return fail("a field of the format has no width");
          int decimals = 0;
          blanks();
          if (p < end && *p == '.') {
            ++p;
            decimals = number();
            if (decimals < 0) return fail("a field of the format has a point but no decimals");
            // what a fixed-point text can hold
            if (decimals > 99) return fail("a field of the format has more than 99 decimals");
          }
          for (int i = 0; i < times; ++i) {
            if (!add({true, kind, 0, width, decimals, 0}, width)) return false;
          }
        } else {
          return fail("the format holds an item other than F, E, D, G, X or a group");
        }
      }
      blanks();
      if (p < end && *p == ',') {
        ++p;
        blanks();
        if (p < end && *p == ')') return fail("the format has no item after a comma");
      }
    }
  }
};
}  // namespace editlist

/// The edit list of the `length` characters of a format text: "(", items
/// separated by commas, ")", in either case, blanks between them allowed.
/// An item is a field Fw.d, Ew.d, Dw.d or Gw.d (Fw: no decimals), a skip
/// nX, a literal in apostrophes, or a group in parentheses, each but a
/// literal with a repeat count before it if any, groups nested up to
/// twice.  For any other text `valid` is false and `error` says why.
constexpr EditList parseEditList(const char* text, size_t length) {
  EditList l;
  editlist::Parse parse{text, text + length, l};
  parse.blanks();
  if (parse.p == parse.end || *parse.p != '(') {
    parse.fail("the format does not begin with a parenthesis");
  } else if (++parse.p; parse.items(0)) {
    parse.blanks();
    if (parse.p != parse.end) parse.fail("text follows the format's closing parenthesis");
    if (l.fields == 0) parse.fail("the format has no field");
  }
  if (parse.error) {
    EditList failed;
    failed.error = parse.error;
    return failed;
  }
  l.valid = true;
  l.sameWidth = l.length == l.fields && l.everyField(l.steps[0].width, 0) ? l.steps[0].width : 0;
  return l;
}

/// The edit list of the format text `text`, ended by its NUL.
constexpr EditList parseEditList(const char* text) {
  size_t length = 0;
  while (text[length]) ++length;
  return parseEditList(text, length);
}

}  // namespace recordio
