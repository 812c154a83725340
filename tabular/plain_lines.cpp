// The common rows of a plain chunk in one sweep: each line's fields are read
// where they lie, the seven inputs as plain decimals straight into a record,
// with no view of each field kept. The records go through the reading
// layer's plain reading (readPlain), and a row whose birth has no flag and
// no decision near its centile is written back as it stands with its
// centile. Any other line (a field that is no plain decimal, another number
// of fields, a stray carriage return, a population the memo does not know,
// a value the rules refuse, a flagged birth) is split and read the general
// way (computeChunk, writeRow), all such lines of the chunk together, so
// every row's output is what the general reading gives it.
#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

#include "platform/numeric_text.h"
#include "platform/small_copy.h"
#include "reading/admission.h"
#include "reading/number_text.h"
#include "tabular/batch.h"
#include "tabular/batch_chunk.h"
#include "tabular/plain_fields.h"

namespace wrenfield::tabular {

namespace {

// The sweep gives up on a chunk, before writing anything, when more lines
// than this share (after the first few) need the general reading: that
// reading is quicker for many lines at once than line by line.
constexpr std::size_t kMostGeneralLines = 8;  // one line in eight

}  // namespace

bool BatchJob::processPlainLines(Chunk& chunk, Scratch& scratch) const
{
    const std::string_view text = chunk.text;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char delimiter = reader_.delimiter();
    const std::size_t width = columns_.width;
    // 1. Every line: its extent, and the record of a common row. Where the
    // AVX2 reading reads whole lines and every row takes the default
    // population, runs of common rows are read many at a time. The lists
    // keep their length from chunk to chunk (only the first lineCount and
    // recordCount entries are this chunk's): they are not filled again.
    std::size_t lineCount = 0;
    std::size_t recordCount = 0;
    auto makeRoom = [&scratch, &lineCount, &recordCount](std::size_t more) {
        if (scratch.lines.size() < lineCount + more)
            scratch.lines.resize(std::max(2 * scratch.lines.size(), lineCount + more));
        if (scratch.records.size() < recordCount + more)
            scratch.records.resize(std::max(2 * scratch.records.size(), recordCount + more));
    };
    std::size_t generalLines = 0;
    [[maybe_unused]] const bool inRuns = fieldShape_->reader == LineReader::Avx2 && !columns_.population;
    for (const char* line = begin; line != end;) {
#if defined(WRENFIELD_X86_64_LANES)
        if (inRuns) {
            constexpr std::size_t kRun = 512;
            makeRoom(kRun);
            const std::size_t read =
                avx2::scanCommonLines(*fieldShape_, scratch.lineLayouts, begin, line, end, settings_.defaultPopulation,
                                      scratch.lines.data() + lineCount, scratch.records.data() + recordCount,
                                      static_cast<std::int32_t>(recordCount), kRun);
            lineCount += read;
            recordCount += read;
            if (read == kRun || line == end)
                continue;  // the next run, or the end
        }
#endif
        // One line, read alone: the first of its run that the runs leave.
        makeRoom(1);
        Scratch::Line& entry = scratch.lines[lineCount++];
        entry = {};
        entry.start = static_cast<std::uint32_t>(line - begin);
        // Read straight into the next record's place, which stays free if
        // the line is not a common row.
        engine::BatchRecord& record = scratch.records[recordCount];
        std::string_view population;
        const char* p = readCommonFields(*fieldShape_, scratch.lineLayouts, line, end, record.inputs, population);
        // The record ends at the line's end: LF, CR LF, or the end of the text.
        const char* lineEnd = p;
        const char* next = p != nullptr ? nextLineAfter(p, end) : nullptr;
        bool common = next != nullptr;
        if (common) {
            std::optional<engine::Population> chosen = settings_.defaultPopulation;
            if (columns_.population)
                chosen = rowPopulation(population, scratch);
            common = chosen.has_value();
            if (common)
                record.population = *chosen;
        }
        if (!common) {
            const void* feed = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
            next = feed ? static_cast<const char*>(feed) + 1 : end;
            lineEnd = next;
            if (lineEnd != line && lineEnd[-1] == '\n')
                --lineEnd;
            if (lineEnd != line && lineEnd[-1] == '\r')
                --lineEnd;
            if (++generalLines > 16 && generalLines * kMostGeneralLines > lineCount)
                return false;
        } else {
            entry.record = static_cast<std::int32_t>(recordCount++);
        }
        entry.length = static_cast<std::uint32_t>(lineEnd - line);
        entry.withBreak = static_cast<std::uint32_t>(next - line);
        line = next;
    }
    const std::span<const Scratch::Line> lines(scratch.lines.data(), lineCount);

    // 2. The common rows' births, many at a time.
    scratch.readings.resize(recordCount);
    reading::readPlain(std::span<const engine::BatchRecord>(scratch.records.data(), recordCount), settings_.options,
                       scratch.readings, scratch.reading);

    // The centiles' texts, eight records at a time, all laid out before
    // the first is written.
    constexpr std::size_t kEight = reading::NumberTexts::kCount;
    scratch.centileTexts.resize((recordCount + kEight - 1) / kEight);
    for (std::size_t from = 0; from < recordCount; from += kEight) {
        const std::size_t count = std::min(kEight, recordCount - from);
        double centiles[kEight];
        for (std::size_t k = 0; k < count; ++k)
            centiles[k] = scratch.readings[from + k].centile;
        reading::writeNumberTexts(centiles, count, scratch.centileTexts[from / kEight]);
    }

    // 3. The other lines, split as the general reading splits them and read
    // together: lines that are no common row, and births that are not plain.
    auto general = [&scratch](const Scratch::Line& line) {
        return line.record < 0 || !scratch.readings[static_cast<std::size_t>(line.record)].plain;
    };
    scratch.generalRows.clear();
    scratch.generalFields.clear();
    scratch.generalStarts.clear();
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const Scratch::Line& line = lines[l];
        if (!general(line))
            continue;
        scratch.oneRow.split(text.substr(line.start, line.withBreak), chunk.firstLine + static_cast<long>(l), delimiter,
                             width);
        const CsvRow& row = scratch.oneRow.rows.front();
        scratch.generalStarts.push_back(scratch.generalFields.size());
        scratch.generalFields.insert(scratch.generalFields.end(), row.fields.begin(), row.fields.end());
        CsvRow& kept = scratch.generalRows.emplace_back();
        kept.line = row.line;
        kept.problem = row.problem;
        kept.text = row.text;
    }
    for (std::size_t g = 0; g < scratch.generalRows.size(); ++g) {
        const std::size_t first = scratch.generalStarts[g];
        const std::size_t last =
            g + 1 < scratch.generalRows.size() ? scratch.generalStarts[g + 1] : scratch.generalFields.size();
        scratch.generalRows[g].fields =
            std::span<const std::string_view>(scratch.generalFields.data() + first, last - first);
    }
    computeChunk(scratch.generalRows, scratch.generalResults, scratch);

    // 4. The output, in the order of the lines.
    const std::string_view lineBreak = crLf_ ? "\r\n" : "\n";
    std::string& output = chunk.output;
    // Counted here, then stored: the counts stay out of reach of the output's stores.
    BatchSummary summary;
    // Room for every line with its centile: grown only by long general rows.
    constexpr std::size_t kRowRoom = 2 + reading::kShortestTextRoom + 2;
    output.resize(std::max(output.size(), text.size() + lines.size() * kRowRoom));
    std::size_t used = 0;
    auto room = [&](std::size_t bytes) {
        if (output.size() - used < bytes)
            output.resize(std::max(2 * output.size(), used + bytes));
    };
    scratch.generalOutput.clear();
    CsvWriter writer(scratch.generalOutput, std::string(lineBreak), delimiter);
    std::size_t nextGeneral = 0;
    for (const Scratch::Line& line : lines) {
        if (general(line)) {
            const std::size_t g = nextGeneral++;
            const std::size_t before = scratch.generalOutput.size();
            writeRow(writer, scratch.generalRows[g], width, scratch.generalResults[g], settings_);
            summary.count(scratch.generalResults[g]);
            const std::size_t bytes = scratch.generalOutput.size() - before;
            room(bytes);
            std::memcpy(output.data() + used, scratch.generalOutput.data() + before, bytes);
            used += bytes;
            continue;
        }
        const auto record = static_cast<std::size_t>(line.record);
        const reading::PlainReading& birth = scratch.readings[record];
        const reading::NumberTexts& texts = scratch.centileTexts[record / kEight];
        room(line.length + kRowRoom);
        char* w = output.data() + used;
        copySmall(w, text.data() + line.start, line.length);
        w += line.length;
        *w++ = delimiter;
        std::memcpy(w, texts.text[record % kEight], reading::NumberTexts::kSlot);
        w += texts.length[record % kEight];
        *w++ = delimiter;
        std::memcpy(w, lineBreak.data(), lineBreak.size());
        w += lineBreak.size();
        used = static_cast<std::size_t>(w - output.data());
        summary.countComputed(birth.centile, birth.band);
    }
    chunk.summary = std::move(summary);
    chunk.outputBytes = used;
    return true;
}

}  // namespace wrenfield::tabular
