#include "tests/support/v2_files.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

const char* const kWords[] = {"accel", "veloc", "displ"};
const char* const kUnits[] = {"cm/sec2", "cm/sec", "cm"};
const char* const kOldUnits[] = {"CM/SEC/SEC", "CM/SEC", "CM"};

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// Value `units` / 10^`decimals` in a field of 10 as the files write it:
// no 0 before the point; now and then without a point or with an exponent.
std::string field(int64_t units, int decimals, int form) {
  char text[64];
  const int64_t magnitude = units < 0 ? -units : units;
  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  if (form == 1) {
    snprintf(text, sizeof text, "%10lld", static_cast<long long>(units));  // the format's decimals
  } else if (form == 2 && decimals > 0) {
    snprintf(text, sizeof text, "%lld.E-%d", static_cast<long long>(units), decimals);
    if (std::string(text).size() > 10) return field(units, decimals, 0);
    snprintf(text, sizeof text, "%10s", std::string(text).c_str());
  } else {
    char digits[40];
    snprintf(digits, sizeof digits, "%s%lld.%0*lld", units < 0 ? "-" : "",
             static_cast<long long>(magnitude / scale), decimals,
             static_cast<long long>(magnitude % scale));
    std::string t = digits;
    const size_t zero = t.find("0.");
    if (zero == 0 || (zero == 1 && t[0] == '-')) t.erase(zero, 1);
    snprintf(text, sizeof text, "%10s", t.c_str());
  }
  return text;
}

}  // namespace

float v2Value(int64_t units, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%llde-%d", static_cast<long long>(units), decimals);
  return static_cast<float>(strtod(text, nullptr));
}

V2File makeV2File(const V2Options& o) {
  V2File file;
  std::mt19937_64 random(o.seed);
  std::vector<std::string> lines;
  for (size_t k = 0; k < o.counts.size(); ++k) {
    const int n = o.counts[k];
    const int number = static_cast<int>(k) + 1;
    const std::string chan = "Chan  " + std::to_string(number) + ": " +
                             (number % 3 == 2 ? "Up" : std::to_string(90 * k % 360) + " Deg");
    V2Channel channel;
    channel.label = o.upperCase ? upper(chan) : chan;
    std::string collapsed;
    for (char c : channel.label)
      if (!(c == ' ' && !collapsed.empty() && collapsed.back() == ' ')) collapsed += c;
    channel.label = collapsed;
    for (int b = 0; b < 3; ++b) {
      channel.decimals[b] = o.decimals[b];
      // Values that fill the field: a sign, eight digits and the point.
      std::uniform_int_distribution<int64_t> value(-o.largest, o.largest);
      for (int i = 0; i < n; ++i) {
        int64_t v = value(random);
        if (i % 5 != 0) v /= 1000;  // most values small, some touching their neighbour
        if (o.touchingEvery != 0 && i % o.touchingEvery == 1) v = -99999999 + i % 1000;
        channel.units[b].push_back(v);
      }
    }
    std::vector<std::string> text;
    text.push_back("Corrected accelerogram   99999-L0000-00000.0" + std::to_string(number) +
                   "       " + chan + "     from");
    for (int r = 2; r <= 15; ++r) text.push_back("Generated header record " + std::to_string(r));
    text.push_back(" " + std::to_string(n) +
                   " points of instrument- and baseline-corrected accel, veloc and displ data");
    text.push_back("At equally-spaced intervals of    " + o.interval + "  sec.");
    for (int r = 18; r <= 25; ++r) text.push_back("Generated text record " + std::to_string(r));
    for (int r = 26; r <= 32; ++r) {
      std::string integers;
      for (int i = 0; i < 16; ++i) integers += "    " + std::to_string((r * i) % 10);
      text.push_back(integers);
    }
    for (int r = 33; r <= 45; ++r) text.push_back(std::string(8, ' ') + "  .000" + "  -999.000");
    for (int b = 0; b < 3; ++b) {
      char heading[200];
      if (o.upperCase) {
        snprintf(heading, sizeof heading,
                 " %d points of %s data equally spaced at  %s sec.  (units: %s)", n, kWords[b],
                 o.interval.c_str(), kOldUnits[b]);
      } else {
        snprintf(heading, sizeof heading, " %d points of %s data equally spaced at  %s sec, in %s.",
                 n, kWords[b], o.interval.c_str(), kUnits[b]);
      }
      std::string h = heading;
      if (o.formats) h += "  (8f10." + std::to_string(o.decimals[b]) + ")";
      text.push_back(o.upperCase ? upper(h) : h);
      std::string record;
      for (int i = 0; i < n; ++i) {
        const int form = o.mixedForms && o.formats ? (i % 7 == 3 ? 1 : i % 11 == 5 ? 2 : 0) : 0;
        record += field(channel.units[b][i], o.decimals[b], form);
        if (i % 8 == 7 || i + 1 == n) {
          text.push_back(record);
          record.clear();
        }
      }
    }
    std::string end =
        "/&  ----------  End of data for channel  " + std::to_string(number) + "  ----------";
    text.push_back(o.upperCase ? upper(end) : end);
    lines.insert(lines.end(), text.begin(), text.end());
    file.channels.push_back(std::move(channel));
  }
  for (const std::string& line : lines) file.text += line + (o.crlf ? "\r\n" : "\n");
  if (o.endMarks) file.text += std::string(40, '\x1a');
  return file;
}
