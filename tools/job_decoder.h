// The job decoder: turns a Velm job stream back into packets, PJL text and records with their
// fields by name, checking every length, every reserved byte and the job's packet order. It is
// written from the published layouts, independently of the driver's writers, so that tests can
// use it as their oracle; `velm dump` prints what it finds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velm::jobdump {

// How a field is shown.
enum class Show { kDecimal, kHex, kRgb, kFixed };

struct Field {
  std::string name;
  int64_t value;
  Show show;
};

struct PathEntry {
  bool curve;
  int32_t points[6];  // x, y of one point (line) or three (curve), 28.4 fixed point
};

struct SubPath {
  int32_t x;  // first point, 28.4
  int32_t y;
  std::vector<PathEntry> entries;
};

struct PlacedGlyph {
  int16_t dx;
  int16_t dy;
  uint16_t code;
};

struct Record {
  uint8_t opcode = 0;
  std::string name;
  uint32_t length = 0;
  size_t packet = 0;  // index of the packet holding its first byte
  size_t offset = 0;  // of its first byte in that packet's body
  size_t page = 0;    // 1 for the first page-start packet; 0 before any
  std::vector<Field> fields;
  std::vector<uint8_t> palette;  // image: RGB triplets
  std::vector<uint8_t> data;     // image rows, pattern tile, glyph bitmap, font data
  std::u16string face;
  std::vector<uint16_t> steps;   // glyph run
  std::vector<uint16_t> codes;   // glyph run
  std::vector<PlacedGlyph> placed;
  std::vector<SubPath> subpaths;  // path records and glyph outlines

  bool Has(std::string_view field) const;
  // The field's value; a missing field gives INT64_MIN.
  int64_t Get(std::string_view field) const;
};

struct Packet {
  uint8_t type = 0;  // 0 for an unframed pass-through run
  uint32_t length = 0;
  size_t offset = 0;  // of its header (of its first byte for a raw run)
  size_t page = 0;
  std::string text;   // PJL body, or the raw bytes
  size_t firstRecord = 0;  // records that start in this packet
  size_t recordCount = 0;
};

struct Job {
  std::vector<Packet> packets;
  std::vector<Record> records;
  size_t pages = 0;
};

struct Options {
  // Bytes that are not a packet header are an unframed run of application data, which ends
  // where the next acceptable header begins, or after the next of `rawLengths` when given.
  bool passThrough = false;
  std::vector<size_t> rawLengths;
  // The job may stop after any whole packet (a job ended by an abort).
  bool allowUnfinished = false;
};

// Decodes a whole job. On damage it returns false with a message naming the offset and what is
// wrong; `job` then holds what was decoded before it.
bool DecodeJob(const uint8_t* bytes, size_t size, const Options& options, Job* job, std::string* error);

// Decodes a run of record bytes on its own (no packets), as one page's data packets would carry.
bool DecodeRecords(const uint8_t* bytes, size_t size, std::vector<Record>* records, std::string* error);

// Readable lines: one per packet with its type and length, its PJL text line by line, and one
// per record with its fields by name, followed by path entries and data summaries.
std::string RenderJob(const Job& job);
std::string RenderRecord(const Record& record);

// Name of a record opcode ("COLOR"), or an empty string for one the stream never carries.
std::string RecordName(uint8_t opcode, uint8_t kind);

}  // namespace velm::jobdump
