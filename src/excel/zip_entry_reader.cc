#include "excel/zip_entry_reader.h"

#include <isa-l/igzip_lib.h>
#include <zip.h>

#include <algorithm>
#include <vector>

namespace parley {
namespace {

// Compressed bytes read from the archive at a time.
constexpr size_t kCompressedChunk = 64 * 1024;

}  // namespace

struct ZipEntryReader::State {
  std::string name;
  zip_file_t* file = nullptr;
  // Set for a deflated entry read raw and inflated here; otherwise libzip inflates.
  bool raw = false;
  uint64_t compressed_left = 0;
  uint64_t size = 0;      // from the directory
  uint64_t inflated = 0;  // so far (ISA-L's own count has 32 bits)
  uint32_t crc = 0;
  bool finished = false;
  std::vector<uint8_t> input;
  inflate_state inflater;

  ~State() {
    if (file != nullptr) zip_fclose(file);
  }
};

ZipEntryReader::ZipEntryReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

ZipEntryReader::~ZipEntryReader() = default;

std::unique_ptr<ZipEntryReader> ZipEntryReader::Open(zip_t* archive, uint64_t index,
                                                     const std::string& name, std::string* error) {
  auto state = std::make_unique<State>();
  state->name = name;
  zip_stat_t stat;
  zip_stat_init(&stat);
  const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                              ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
  state->raw = zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & needed) == needed &&
               stat.comp_method == ZIP_CM_DEFLATE && stat.encryption_method == ZIP_EM_NONE;
  state->file = zip_fopen_index(archive, index, state->raw ? ZIP_FL_COMPRESSED : 0);
  if (state->file == nullptr) {
    *error = "cannot read " + name + ": " + zip_strerror(archive);
    return nullptr;
  }
  if (state->raw) {
    state->compressed_left = stat.comp_size;
    state->size = stat.size;
    state->crc = stat.crc;
    state->input.resize(kCompressedChunk);
    isal_inflate_init(&state->inflater);
    state->inflater.crc_flag = ISAL_GZIP_NO_HDR;  // raw deflate; the CRC-32 of the output kept
    state->inflater.avail_in = 0;
  }
  return std::unique_ptr<ZipEntryReader>(new ZipEntryReader(std::move(state)));
}

int64_t ZipEntryReader::Read(void* buffer, size_t capacity, std::string* error) {
  State& s = *state_;
  if (!s.raw) {
    const zip_int64_t got = zip_fread(s.file, buffer, capacity);
    if (got < 0) *error = "cannot read " + s.name + ": " + zip_file_strerror(s.file);
    return got < 0 ? -1 : got;
  }
  if (s.finished) return 0;
  inflate_state& z = s.inflater;
  z.next_out = static_cast<uint8_t*>(buffer);
  z.avail_out = static_cast<uint32_t>(capacity);
  while (z.avail_out > 0 && z.block_state != ISAL_BLOCK_FINISH) {
    // The inflater may hold the last bits of the input and output not yet written: once all the
    // compressed data is read, it is called on with no new input until it finishes.
    if (z.avail_in == 0 && s.compressed_left > 0) {
      const size_t want =
          static_cast<size_t>(std::min<uint64_t>(s.input.size(), s.compressed_left));
      const zip_int64_t got = zip_fread(s.file, s.input.data(), want);
      if (got <= 0) {
        *error = "cannot read " + s.name + ": " +
                 (got < 0 ? zip_file_strerror(s.file) : "the compressed data ends early");
        return -1;
      }
      s.compressed_left -= static_cast<uint64_t>(got);
      z.next_in = s.input.data();
      z.avail_in = static_cast<uint32_t>(got);
    }
    const uint32_t before_in = z.avail_in;
    const uint32_t before_out = z.avail_out;
    if (isal_inflate(&z) != ISAL_DECOMP_OK) {
      *error = "cannot read " + s.name + ": the compressed data is damaged";
      return -1;
    }
    if (z.avail_in == before_in && z.avail_out == before_out &&
        z.block_state != ISAL_BLOCK_FINISH) {
      *error =
          "cannot read " + s.name + ": " +
          (z.avail_in == 0 ? "the compressed data ends early" : "the compressed data is damaged");
      return -1;
    }
    if (s.inflated + (capacity - z.avail_out) > s.size) {
      *error = "cannot read " + s.name + ": it inflates beyond its size in the directory";
      return -1;
    }
  }
  const uint64_t produced = capacity - z.avail_out;
  s.inflated += produced;
  if (z.block_state == ISAL_BLOCK_FINISH && produced == 0) {
    s.finished = true;
    if (s.inflated != s.size || z.crc != s.crc) {
      *error = "cannot read " + s.name + ": " +
               (s.inflated != s.size ? "its size differs from the directory's" : "CRC error");
      return -1;
    }
  }
  return static_cast<int64_t>(produced);
}

}  // namespace parley
