// The working space of a batch job's chunks: what one chunk of input
// carries from the reading thread to a worker and on to the writer, and
// what a worker keeps from one chunk to the next. Private to the batch job.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/batch_kernel.h"
#include "reading/births.h"
#include "reading/number_text.h"
#include "tabular/batch.h"
#include "tabular/csv.h"
#include "tabular/plain_fields.h"

namespace wrenfield::tabular {

// Records computed between two writes; also the unit that the threads share
// out: at most this many records read one by one, or this much text (about
// 3,000 records of births; a single record may be longer, up to the CSV
// reader's limit). With a bounded number of chunks in flight (a few more
// than threads), memory stays a few megabytes whatever the input's length
// and width.
constexpr std::size_t kChunkRecords = 4096;
constexpr std::size_t kChunkBytes = std::size_t{128} << 10;

// A worker's working space, kept from one chunk to the next: what computing
// a chunk needs and nothing after it (one a worker, not one a chunk in
// flight).
struct BatchJob::Scratch {
    std::vector<reading::PendingBirth> pending;
    reading::ReadingScratch reading;
    // The population of the texts met lately in the population column: a
    // file names the same few again and again.
    std::vector<std::pair<std::string, engine::Population>> populations;

    // The lines of a plain chunk read in one sweep: where each lies in the
    // chunk's text and, for a common row, its record in `records`.
    using Line = PlainLine;
    std::vector<Line> lines;
    std::vector<engine::BatchRecord> records;
    avx2::LineLayouts lineLayouts;  // of the file's lines, as the AVX2 reading meets them
    std::vector<reading::PlainReading> readings;
    std::vector<reading::NumberTexts> centileTexts;  // of the readings' centiles, eight a piece
    // The lines read the general way: each split alone (oneRow), then kept
    // together with their fields, their results and their output records.
    CsvRows oneRow;
    std::vector<CsvRow> generalRows;
    std::vector<std::string_view> generalFields;
    std::vector<std::size_t> generalStarts;
    std::vector<BirthResult> generalResults;
    std::string generalOutput;
};

struct BatchJob::Chunk {
    // The chunk's records: plain text, or records read one by one.
    bool plain = false;
    std::string text;
    long firstLine = 0;
    // (Room for kChunkRecords, made when the chunk first reads records one
    // by one: a file of plain lines never needs it.)
    std::vector<CsvRecord> records;
    std::size_t count = 0;
    bool readFailed = false;
    CsvRows rows;
    std::vector<BirthResult> results;
    // The chunk's output records, ready to write: the first outputBytes of
    // `output` (which keeps its size from one chunk to the next, so that
    // it is not filled with zeros again each time).
    std::string output;
    std::size_t outputBytes = 0;
    BatchSummary summary;
};

}  // namespace wrenfield::tabular
