// The page-description parser: bounded, line by line, with the line number in every message.
#include "eng/page_description.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <utility>

#include "core/unicode.h"
#include "eng/engine_objects.h"

namespace velm::platform {
namespace {

constexpr size_t kMaxDescription = 16u << 20;
constexpr size_t kMaxCalls = 100000;
constexpr size_t kMaxPages = 10000;
constexpr size_t kMaxPoints = 100000;
constexpr size_t kMaxClipRects = 1000;
constexpr size_t kMaxText = 1024;
constexpr size_t kMaxFaceChars = 31;
constexpr size_t kMaxEscapeData = 65536;
constexpr size_t kMaxStyle = 16;
constexpr LONG kMaxCoordinate = 1000000;
constexpr LONG kMaxImageSide = 16384;
constexpr LONG kMaxPatternSide = 256;
constexpr int64_t kMaxImagePixels = int64_t(72) << 20;  // an A3 page at 600 dpi

struct Failure {
  std::string message;
};

class Line {
 public:
  Line(std::string_view text, int number) : number_(number) { Split(text); }

  bool Empty() const { return words_.empty(); }
  size_t Count() const { return words_.size(); }
  const std::string& Word(size_t i) const { return words_[i]; }
  bool Quoted(size_t i) const { return quoted_[i]; }
  [[noreturn]] void Fail(const std::string& message) const {
    throw Failure{"line " + std::to_string(number_) + ": " + message};
  }

  int64_t Integer(const std::string& word, int64_t low, int64_t high, const char* what) const {
    if (word.empty()) Fail(std::string("missing ") + what);
    char* end = nullptr;
    errno = 0;
    const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const long long value = hex ? std::strtoll(word.c_str() + 2, &end, 16) : std::strtoll(word.c_str(), &end, 10);
    if (errno || *end || end == word.c_str() || value < low || value > high) {
      Fail(std::string("bad ") + what + " \"" + word + "\"");
    }
    return value;
  }
  LONG Coordinate(const std::string& word) const {
    return static_cast<LONG>(Integer(word, -kMaxCoordinate, kMaxCoordinate, "coordinate"));
  }
  // A coordinate with an optional fraction, as 28.4.
  FIX Fixed(const std::string& word) const {
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end || !std::isfinite(value) || std::fabs(value) > kMaxCoordinate) {
      Fail("bad coordinate \"" + word + "\"");
    }
    return static_cast<FIX>(std::lround(value * 16));
  }
  ULONG Color(const std::string& word) const {
    static const std::pair<const char*, ULONG> kNames[] = {{"black", 0x000000}, {"white", 0xFFFFFF},
                                                           {"red", 0xFF0000},   {"green", 0x00FF00},
                                                           {"blue", 0x0000FF},  {"gray", 0x808080}};
    for (const auto& [name, rgb] : kNames) {
      if (word == name) return rgb;
    }
    if (word.size() == 7 && word[0] == '#') {
      char* end = nullptr;
      const unsigned long value = std::strtoul(word.c_str() + 1, &end, 16);
      if (!*end) return static_cast<ULONG>(value);
    }
    Fail("bad colour \"" + word + "\"");
  }
  std::vector<BYTE> Hex(const std::string& word, size_t maxBytes) const {
    if (word.size() % 2 != 0) Fail("bad hex data");
    if (word.size() / 2 > maxBytes) Fail("hex data longer than " + std::to_string(maxBytes) + " bytes");
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < word.size(); i += 2) {
      char* end = nullptr;
      const std::string pair = word.substr(i, 2);
      const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
      if (*end || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
          !std::isxdigit(static_cast<unsigned char>(pair[1]))) {
        Fail("bad hex data");
      }
      bytes.push_back(static_cast<BYTE>(value));
    }
    return bytes;
  }

 private:
  void Split(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == ' ' || c == '\t' || c == '\r') {
        ++i;
        continue;
      }
      if (c == '#' && (i + 1 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                       words_.empty())) {
        break;  // a comment (a colour is never the first word)
      }
      std::string word;
      bool quoted = false;
      if (c == '"') {
        quoted = true;
        ++i;
        bool closed = false;
        while (i < text.size()) {
          const char d = text[i++];
          if (d == '"') {
            closed = true;
            break;
          }
          if (d == '\\' && i < text.size()) {
            word += text[i++];
            continue;
          }
          word += d;
        }
        if (!closed) Fail("unterminated text");
      } else {
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') word += text[i++];
      }
      words_.push_back(std::move(word));
      quoted_.push_back(quoted);
    }
  }

  int number_;
  std::vector<std::string> words_;
  std::vector<bool> quoted_;
};

// Options after the positional words: key=value pairs and bare flags.
class Options {
 public:
  Options(const Line& line, size_t first, size_t last) : line_(line) {
    for (size_t i = first; i < last; ++i) {
      const std::string& word = line.Word(i);
      const size_t equals = word.find('=');
      if (equals == std::string::npos) {
        flags_.push_back(word);
      } else {
        values_.emplace_back(word.substr(0, equals), word.substr(equals + 1));
      }
    }
  }
  std::optional<std::string> Take(const char* key) {
    for (auto it = values_.begin(); it != values_.end(); ++it) {
      if (it->first == key) {
        std::string value = it->second;
        values_.erase(it);
        return value;
      }
    }
    return std::nullopt;
  }
  bool Flag(const char* name) {
    for (auto it = flags_.begin(); it != flags_.end(); ++it) {
      if (*it == name) {
        flags_.erase(it);
        return true;
      }
    }
    return false;
  }
  // Anything not taken is a mistake.
  void Finish() const {
    if (!values_.empty()) line_.Fail("unknown option \"" + values_.front().first + "\"");
    if (!flags_.empty()) line_.Fail("unexpected \"" + flags_.front() + "\"");
  }

 private:
  const Line& line_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> flags_;
};

void TakeBrush(const Line& line, Options& options, PageCall& call, const char* colourKey) {
  if (auto colour = options.Take(colourKey)) {
    if (*colour != "none") {
      call.hasBrush = true;
      call.brush = line.Color(*colour);
    }
  }
  if (auto hatch = options.Take("hatch")) {
    call.hatch = static_cast<ULONG>(line.Integer(*hatch, 0, HS_DDI_MAX - 1, "hatch"));
  }
  if (auto pattern = options.Take("pattern")) {
    if (auto bits = options.Take("patternbits")) {
      call.patternBits = static_cast<ULONG>(line.Integer(*bits, 1, 32, "patternbits"));
      if (call.patternBits != 1 && call.patternBits != 4 && call.patternBits != 8 && call.patternBits != 16 &&
          call.patternBits != 24 && call.patternBits != 32) {
        line.Fail("patternbits is 1, 4, 8, 16, 24 or 32");
      }
      call.patternRows = true;
    }
    if (auto size = options.Take("patternsize")) {
      const size_t comma = size->find(',');
      if (comma == std::string::npos) line.Fail("patternsize is W,H");
      call.patternWidth = static_cast<LONG>(line.Integer(size->substr(0, comma), 1, kMaxPatternSide, "pattern width"));
      call.patternHeight = static_cast<LONG>(line.Integer(size->substr(comma + 1), 1, kMaxPatternSide, "pattern height"));
      call.patternRows = true;
    }
    call.patternBottomUp = options.Flag("patternbottomup");
    const size_t rowBytes = (static_cast<size_t>(call.patternWidth) * call.patternBits + 31) / 32 * 4;
    const size_t bytes = call.patternRows ? rowBytes * call.patternHeight : 8;
    call.pattern = line.Hex(*pattern, bytes);
    if (call.pattern.size() != bytes) line.Fail("the pattern needs " + std::to_string(bytes) + " bytes");
  }
  if (auto background = options.Take("bg")) {
    call.hasBackground = true;
    call.background = line.Color(*background);
  }
  if ((call.hatch != HS_DDI_MAX || !call.pattern.empty()) && !call.hasBrush) line.Fail("hatch or pattern without a colour");
}

// The text options of the string's layout and face: face=NAME, vertical, glyphindex, strikeout,
// rotate=DEGREES, mirror.
void TakeTextLayout(const Line& line, Options& options, PageCall& call) {
  if (auto face = options.Take("face")) {
    call.face = Utf8ToUtf16(*face);
    if (call.face.empty() || call.face.size() > kMaxFaceChars) line.Fail("face is 1 to 31 characters");
  }
  call.vertical = options.Flag("vertical");
  call.glyphIndex = options.Flag("glyphindex");
  call.strikeOut = options.Flag("strikeout");
  if (auto rotation = options.Take("rotate")) {
    call.rotation = static_cast<LONG>(line.Integer(*rotation, 0, 359, "rotation"));
  }
  call.mirror = options.Flag("mirror");
}

void TakePen(const Line& line, Options& options, PageCall& call) {
  if (auto pen = options.Take("pen")) {
    if (*pen != "none") {
      call.hasPen = true;
      call.pen = line.Color(*pen);
    }
  }
  if (auto width = options.Take("width")) call.width = static_cast<LONG>(line.Integer(*width, 0, 10000, "width"));
  if (auto mix = options.Take("mix")) call.mix = static_cast<ULONG>(line.Integer(*mix, 1, 16, "mix"));
  call.winding = options.Flag("winding");
}

// The pen's style, joins, ends and kind of line and path calls.
void TakeLineAttributes(const Line& line, Options& options, PageCall& call) {
  if (auto style = options.Take("style")) {
    size_t start = 0;
    while (start <= style->size()) {
      const size_t comma = style->find(',', start);
      const std::string element = style->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      call.style.push_back(static_cast<LONG>(line.Integer(element, 1, 1000, "style element")));
      if (call.style.size() > kMaxStyle) line.Fail("too many style elements");
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  const auto choose = [&](const char* name, std::initializer_list<std::pair<const char*, ULONG>> values, ULONG& out) {
    const auto word = options.Take(name);
    if (!word) return;
    for (const auto& [text, value] : values) {
      if (*word == text) {
        out = value;
        return;
      }
    }
    line.Fail(std::string("bad ") + name + " \"" + *word + "\"");
  };
  choose("join", {{"round", JOIN_ROUND}, {"bevel", JOIN_BEVEL}, {"miter", JOIN_MITER}}, call.join);
  choose("cap", {{"round", ENDCAP_ROUND}, {"square", ENDCAP_SQUARE}, {"butt", ENDCAP_BUTT}}, call.cap);
  if (auto miter = options.Take("miter")) call.miterLimit = static_cast<LONG>(line.Integer(*miter, 0, 100000, "miter"));
  call.geometric = options.Flag("geometric");
  call.startGap = options.Flag("startgap");
}

RECTL TakeRect(const Line& line, size_t first) {
  if (line.Count() < first + 4) line.Fail("needs L T R B");
  return RECTL{line.Coordinate(line.Word(first)), line.Coordinate(line.Word(first + 1)),
               line.Coordinate(line.Word(first + 2)), line.Coordinate(line.Word(first + 3))};
}

void ParsePath(const Line& line, size_t first, PageCall& call) {
  size_t points = 0;
  bool figure = false;
  for (size_t i = first; i < line.Count();) {
    const std::string& op = line.Word(i++);
    PathStep step;
    step.op = op.size() == 1 ? op[0] : '?';
    const int count = step.op == 'M' || step.op == 'L' ? 1 : step.op == 'C' ? 3 : step.op == 'Z' ? 0 : -1;
    if (count < 0) line.Fail("bad path step \"" + op + "\"");
    if (step.op != 'M' && !figure) line.Fail("a path starts with M");
    if (i + 2 * count > line.Count()) line.Fail("path step " + op + " lacks points");
    for (int p = 0; p < count; ++p) {
      step.points[p] = POINTFIX{line.Fixed(line.Word(i)), line.Fixed(line.Word(i + 1))};
      i += 2;
    }
    figure = step.op != 'Z';
    points += count;
    if (points > kMaxPoints) line.Fail("too many path points");
    call.steps.push_back(step);
  }
  if (call.steps.empty()) line.Fail("empty path");
}

PageCall ParseCall(const Line& line, const std::string& verb, int number) {
  PageCall call;
  call.line = number;
  if (verb == "fill") {
    call.kind = PageCall::Kind::Fill;
    call.rect = TakeRect(line, 1);
    if (line.Count() < 6) line.Fail("fill needs a colour");
    call.hasBrush = true;
    call.brush = line.Color(line.Word(5));
    Options options(line, 6, line.Count());
    TakeBrush(line, options, call, "color");
    if (auto rop = options.Take("rop")) call.rop4 = static_cast<ULONG>(line.Integer(*rop, 0, 0xFFFF, "rop"));
    options.Finish();
  } else if (verb == "rect") {
    call.kind = PageCall::Kind::Rect;
    call.rect = TakeRect(line, 1);
    Options options(line, 5, line.Count());
    TakeBrush(line, options, call, "brush");
    TakePen(line, options, call);
    options.Finish();
    if (!call.hasPen && !call.hasBrush) line.Fail("rect needs a pen or a brush");
  } else if (verb == "line") {
    call.kind = PageCall::Kind::Line;
    size_t i = 1;
    while (i + 1 < line.Count() && line.Word(i).find('=') == std::string::npos &&
           line.Word(i + 1).find('=') == std::string::npos) {
      call.points.push_back(POINTL{line.Coordinate(line.Word(i)), line.Coordinate(line.Word(i + 1))});
      i += 2;
      if (call.points.size() > kMaxPoints) line.Fail("too many points");
    }
    if (call.points.size() < 2) line.Fail("line needs two points");
    Options options(line, i, line.Count());
    call.hasPen = true;
    TakePen(line, options, call);
    TakeLineAttributes(line, options, call);
    options.Finish();
  } else if (verb == "path") {
    call.kind = PageCall::Kind::Path;
    size_t colon = 1;
    while (colon < line.Count() && line.Word(colon) != ":") ++colon;
    if (colon == line.Count()) line.Fail("path needs ':' before its steps");
    Options options(line, 1, colon);
    TakeBrush(line, options, call, "brush");
    TakePen(line, options, call);
    TakeLineAttributes(line, options, call);
    options.Finish();
    if (!call.hasPen && !call.hasBrush) line.Fail("path needs a pen or a brush");
    ParsePath(line, colon + 1, call);
  } else if (verb == "text") {
    call.kind = PageCall::Kind::Text;
    if (line.Count() < 4 || !line.Quoted(3)) line.Fail("text needs X Y \"TEXT\"");
    call.points.push_back(POINTL{line.Coordinate(line.Word(1)), line.Coordinate(line.Word(2))});
    call.text = Utf8ToUtf16(line.Word(3));
    if (call.text.size() > kMaxText) line.Fail("text too long");
    call.size = 16;
    call.hasBrush = true;
    Options options(line, 4, line.Count());
    if (auto size = options.Take("size")) call.size = static_cast<LONG>(line.Integer(*size, 1, 2048, "size"));
    if (auto colour = options.Take("color")) call.brush = line.Color(*colour);
    if (auto background = options.Take("bg")) {
      call.hasBackground = true;
      call.background = line.Color(*background);
    }
    call.underline = options.Flag("underline");
    if (auto device = options.Take("device")) {
      call.deviceFont = static_cast<ULONG>(line.Integer(*device, 1, 1000, "device font"));
    }
    TakeTextLayout(line, options, call);
    options.Finish();
  } else if (verb == "image") {
    call.kind = PageCall::Kind::Image;
    call.rect = TakeRect(line, 1);
    if (line.Count() < 7) line.Fail("image needs its W H");
    call.imageWidth = static_cast<LONG>(line.Integer(line.Word(5), 1, kMaxImageSide, "image width"));
    call.imageHeight = static_cast<LONG>(line.Integer(line.Word(6), 1, kMaxImageSide, "image height"));
    if (static_cast<int64_t>(call.imageWidth) * call.imageHeight > kMaxImagePixels) line.Fail("image too large");
    call.rop4 = 0xCCCC;
    Options options(line, 7, line.Count());
    if (auto bpp = options.Take("bpp")) {
      call.bpp = static_cast<ULONG>(line.Integer(*bpp, 1, 32, "bpp"));
      if (call.bpp != 1 && call.bpp != 4 && call.bpp != 8 && call.bpp != 16 && call.bpp != 24 && call.bpp != 32) {
        line.Fail("bpp is 1, 4, 8, 16, 24 or 32");
      }
    }
    if (auto fill = options.Take("fill")) {
      if (*fill == "gradient") {
        call.fill = PageCall::Fill::Gradient;
      } else if (*fill == "checker") {
        call.fill = PageCall::Fill::Checker;
      } else if (fill->rfind("hex:", 0) == 0) {
        call.fill = PageCall::Fill::Hex;
        const size_t rowBytes = (static_cast<size_t>(call.imageWidth) * call.bpp + 31) / 32 * 4;
        call.bits = line.Hex(fill->substr(4), static_cast<size_t>(kMaxImagePixels) * 4);
        if (call.bits.size() != rowBytes * call.imageHeight) {
          line.Fail("hex image needs " + std::to_string(rowBytes * call.imageHeight) + " bytes");
        }
      } else {
        call.fill = PageCall::Fill::Solid;
        call.fillColour = line.Color(*fill);
      }
    }
    if (auto rop = options.Take("rop")) call.rop4 = static_cast<ULONG>(line.Integer(*rop, 0, 0xFFFF, "rop"));
    TakeBrush(line, options, call, "brush");
    if (auto alpha = options.Take("alpha")) call.alpha = static_cast<BYTE>(line.Integer(*alpha, 0, 255, "alpha"));
    call.mask = options.Flag("mask");
    call.bottomUp = options.Flag("bottomup");
    call.halftone = options.Flag("halftone");
    options.Finish();
  } else if (verb == "escape") {
    call.kind = PageCall::Kind::Escape;
    if (line.Count() < 2 || line.Count() > 4) line.Fail("escape needs N [HEX] [out=N]");
    call.escape = static_cast<ULONG>(line.Integer(line.Word(1), 0, 0xFFFFFFFF, "escape"));
    size_t next = 2;
    if (line.Count() > next && line.Word(next).find('=') == std::string::npos) {
      call.data = line.Hex(line.Word(next++), kMaxEscapeData);
    }
    Options options(line, next, line.Count());
    if (auto out = options.Take("out")) call.escapeOut = static_cast<ULONG>(line.Integer(*out, 0, 4096, "out"));
    options.Finish();
  } else {
    line.Fail("unknown call \"" + verb + "\"");
  }
  return call;
}

}  // namespace

bool ParsePageDescription(std::string_view text, PageDescription& out, std::string& error) {
  out.pages.clear();
  if (text.size() > kMaxDescription) {
    error = "description larger than 16 MiB";
    return false;
  }
  try {
    DescribedPage page;
    bool pageStarted = false, resetPending = false;
    int currentClip = -1;
    size_t calls = 0;
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
      const size_t end = text.find('\n', start);
      const std::string_view raw = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
      start = end == std::string_view::npos ? text.size() + 1 : end + 1;
      ++number;
      const Line line(raw, number);
      if (line.Empty()) continue;
      const std::string& verb = line.Word(0);
      if (verb == "page") {
        if (line.Count() != 1) line.Fail("page takes nothing");
        if (pageStarted || !page.calls.empty()) {
          out.pages.push_back(std::move(page));
          page = DescribedPage{};
          if (out.pages.size() >= kMaxPages) line.Fail("too many pages");
        }
        page.resetBefore = resetPending;
        resetPending = false;
        pageStarted = true;
        currentClip = -1;
      } else if (verb == "reset") {
        if (line.Count() != 1) line.Fail("reset takes nothing");
        resetPending = true;
      } else if (verb == "clip") {
        if (!pageStarted) {
          pageStarted = true;
          page.resetBefore = resetPending;
          resetPending = false;
        }
        if (line.Count() == 2 && line.Word(1) == "none") {
          currentClip = -1;
          continue;
        }
        if (line.Count() < 5 || (line.Count() - 1) % 4 != 0) line.Fail("clip needs L T R B groups or none");
        std::vector<RECTL> rects;
        for (size_t i = 1; i < line.Count(); i += 4) rects.push_back(TakeRect(line, i));
        if (rects.size() > kMaxClipRects) line.Fail("too many clip rectangles");
        page.clips.push_back(std::move(rects));
        currentClip = static_cast<int>(page.clips.size()) - 1;
      } else {
        if (!pageStarted) {
          pageStarted = true;
          page.resetBefore = resetPending;
          resetPending = false;
        }
        if (++calls > kMaxCalls) line.Fail("too many calls");
        PageCall call = ParseCall(line, verb, number);
        call.clip = currentClip;
        page.calls.push_back(std::move(call));
      }
    }
    if (resetPending) {
      error = "reset with no page after it";
      return false;
    }
    out.pages.push_back(std::move(page));
  } catch (const Failure& failure) {
    error = failure.message;
    out.pages.clear();
    return false;
  }
  return true;
}

std::string_view BuiltInTestPage() {
  return R"(# The engine's test page: every kind of call once or more.
rect 20 20 780 580 pen=black
text 40 60 "Velm engine test page" size=24
text 40 90 "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789" size=8
text 40 110 "Opaque text on yellow" size=16 color=blue bg=#FFFF00
fill 40 130 240 180 red
fill 260 130 460 180 blue hatch=4
fill 480 130 680 180 green pattern=AA55AA55AA55AA55
fill 200 140 300 200 white rop=0x5A5A
line 40 260 740 260 pen=black
line 40 270 740 300 pen=red width=5
line 40 310 740 310 pen=blue style=6,3
line 40 320 140 380 240 320 340 380 pen=black
path brush=gray pen=black : M 400 330 L 460 480 L 320 380 L 480 380 L 340 480 Z
path brush=gray winding : M 560 330 L 620 480 L 480 380 L 640 380 L 500 480 Z
path pen=green width=3 : M 660 340 C 700 300 760 420 740 480
image 40 400 140 460 100 60 bpp=24
image 160 400 260 460 50 30 bpp=8 fill=checker
image 280 400 300 420 20 20 bpp=1 fill=checker bottomup
clip 40 500 200 520 240 500 400 520
fill 20 490 780 530 #00C0C0
clip none
rect 420 500 760 560 brush=#C0C0FF pen=none
)";
}

}  // namespace velm::platform
