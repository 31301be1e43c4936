// Prints a page description through the driver and draws the job: the tests of the drawing
// code compare the page printed in vector mode (the driver's records) with the same page in
// raster mode (the engine's bands), each drawn by the job renderer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eng/print_host.h"
#include "job_render.h"
#include "print_command.h"

namespace velm::tools {

struct PrintedPages {
  platform::PrintResult result;     // with the host's page rasters when asked for
  jobrender::Rendering rendering;   // the job's pages drawn from its records
};

// Prints `pages` on the open printer with a job devmode of `items` (the settings library must be
// attached) and draws the job the spooler received. keepPageRasters asks the print host to keep
// the pages its bands held. False with a message when the job or its decoding fails.
bool PrintAndDraw(HANDLE printer, const std::string& pages, const std::vector<ItemAssignment>& items,
                  bool keepPageRasters, PrintedPages* out, std::string* error);

// How far two pictures of a page differ. A pixel differs when no pixel of the other picture
// within one pixel of it (its 3 x 3 neighbourhood) has its colour; the differing pixels of
// either picture are counted once per position and grouped into 8-connected boxes.
struct PictureDifference {
  uint64_t differing = 0;
  int32_t boxWidth = 0, boxHeight = 0;  // the largest box (by area) of connected differing pixels
  int32_t boxLeft = 0, boxTop = 0;
  bool sameSize = true;
};
PictureDifference ComparePictures(const jobrender::Canvas& a, const jobrender::Canvas& b);

// What a caller allows.
struct Tolerance {
  uint64_t differingPixels = 0;
  int32_t boxSide = 0;  // the largest box's longer side
};

struct ModeComparison {
  bool printed = false;
  std::string error;                   // why printing or drawing failed
  std::vector<std::string> problems;   // what either rendering could not draw ("vector: ...")
  std::vector<PictureDifference> pages;
  bool Within(const Tolerance& tolerance) const;
  std::string Describe() const;
};

// Prints the description in vector mode and in raster mode (item vdmRasterMode 0 and 1, after
// `items`), draws both jobs and compares them page by page.
ModeComparison CompareModes(HANDLE printer, const std::string& pages, const std::vector<ItemAssignment>& items);

}  // namespace velm::tools
