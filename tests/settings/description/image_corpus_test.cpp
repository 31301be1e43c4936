// Replays the image fuzz target's corpus, and damages every word of the shipped description's
// block in turn: what the checks pass, the readers walk to the end; the rest is refused.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/description/image_fixture.h"
#include "fuzz/image_walk.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = velm::test::SourceDir() / "fuzz" / "corpus" / "image";

// A copy in a block of its own size, so that a read past the end is a read past the block.
bool Holds(const std::string& bytes, bool* valid = nullptr) {
  const std::vector<BYTE> block(bytes.begin(), bytes.end());
  if (valid) *valid = DescValidateImage(block.data(), DWORD(block.size()));
  return velm::fuzz::ImageHolds(block.data(), DWORD(block.size()));
}

TEST(DescriptionImageCorpusTest, EveryCorpusFileIsRefusedOrWalkedToTheEnd) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u) << kCorpus;
  for (const fs::path& file : files) {
    bool valid = false;
    EXPECT_TRUE(Holds(velm::test::ReadHostFile(file), &valid)) << file;
    // The compiled seeds pass; the damaged ones do not.
    const std::string name = file.stem().string();
    const bool damaged = name == "cut" || name == "loop" || name == "beyond" || name == "fontcount";
    EXPECT_EQ(valid, !damaged) << file;
  }
}

TEST(DescriptionImageCorpusTest, AnyWordOfTheShippedBlockDamagedIsRefusedOrWalked) {
  const std::string good = velm::test::ReadHostFile(kCorpus / "shipped.bcs");
  ASSERT_TRUE(DescValidateImage(reinterpret_cast<const BYTE*>(good.data()), DWORD(good.size())));
  const DWORD words = DWORD(good.size() / 4);
  int refused = 0;
  for (DWORD w = 0; w < words; ++w) {
    const DWORD original = DescLoadU32(reinterpret_cast<const BYTE*>(good.data()) + 4 * w);
    // A link moved by a field and by a byte, a link dropped, a number at its extreme.
    for (const DWORD value : {original + 0x40, original ^ 0x10u, 0u, 0xFFFFFFFFu}) {
      std::string bad = good;
      DescStoreU32(reinterpret_cast<BYTE*>(&bad[4 * w]), value);
      bool valid = false;
      ASSERT_TRUE(Holds(bad, &valid)) << "word " << w << " = " << value;
      refused += !valid;
    }
  }
  EXPECT_GT(refused, 0);
  // Every length cut short is refused.
  for (size_t size = 0; size < good.size(); size += 97) EXPECT_FALSE(DescValidateImage(
      reinterpret_cast<const BYTE*>(good.data()), DWORD(size))) << size;
}

}  // namespace
