// A module for the resource tests: a resource image written out field by field.
//   string table 1 in English (US): 1 "One", 2 "Two words", 15 present but empty
//   string table 1 in Japanese:      1 "イチ"
//   string table 2 in English (US): 16 "Sixteen"
//   RCDATA 7, neutral language:      the four bytes "DATA"
// Built with DAMAGED_RESOURCES the RCDATA entry claims more bytes than the image holds, so the
// whole image must be refused.
#include <cstddef>
#include <cstdint>

namespace {

#pragma pack(push, 1)
struct Entry {
  uint16_t type, name, language, zero;
  uint32_t offset, size;
};
struct Image {
  char magic[4];
  uint16_t version, count;
  uint32_t size, zero;
  Entry entries[4];
  char16_t englishTable1[28];
  char16_t japaneseTable1[18];
  char16_t englishTable2[23];
  char16_t padding;
  char data[4];
};
#pragma pack(pop)

#ifdef DAMAGED_RESOURCES
constexpr uint32_t kDataSize = 4000;
#else
constexpr uint32_t kDataSize = 4;
#endif

}  // namespace

__attribute__((section(".rsrc"), used, aligned(16))) const Image kResourceImage = {
    {'V', 'R', 'S', 'C'},
    1,
    4,
    sizeof(Image),
    0,
    {
        {6, 1, 0x0409, 0, offsetof(Image, englishTable1), sizeof(Image::englishTable1)},
        {6, 1, 0x0411, 0, offsetof(Image, japaneseTable1), sizeof(Image::japaneseTable1)},
        {6, 2, 0x0409, 0, offsetof(Image, englishTable2), sizeof(Image::englishTable2)},
        {10, 7, 0, 0, offsetof(Image, data), kDataSize},
    },
    {0, 3, u'O', u'n', u'e', 9, u'T', u'w', u'o', u' ', u'w', u'o', u'r', u'd', u's'},
    {0, 2, u'イ', u'チ'},
    {7, u'S', u'i', u'x', u't', u'e', u'e', u'n'},
    0,
    {'D', 'A', 'T', 'A'},
};
