#include "tabular/csv.h"

#include "tabular/byte_scan.h"
#include "platform/utf16_text.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace wrenfield::tabular {

namespace {

std::string fieldCountProblem(std::size_t expected, std::size_t found)
{
    return "expected " + std::to_string(expected) + " fields, found " + std::to_string(found);
}
}  // namespace

void CsvRows::view(std::span<const CsvRecord> records)
{
    rows.clear();
    fields.clear();
    for (const CsvRecord& record : records)
        for (const std::string& field : record.fields)
            fields.emplace_back(field);
    std::size_t first = 0;
    for (const CsvRecord& record : records) {
        CsvRow& row = rows.emplace_back();
        row.fields = std::span<const std::string_view>(fields.data() + first, record.fields.size());
        row.line = record.line;
        row.problem = record.problem;
        first += record.fields.size();
    }
}

void CsvRows::split(std::string_view text, long firstLine, char delimiter, std::size_t expectedFields)
{
    rows.clear();
    fields.clear();
    // Where each row's fields start; the spans are set once `fields` stops growing.
    starts_.clear();
    std::size_t lineStart = 0;
    std::size_t fieldStart = 0;
    std::size_t firstField = 0;  // of the line being split
    // A CR that ends no line belongs to its field, and makes it need quotes.
    bool strayReturn = false;
    long line = firstLine;
    ByteFinder specials(text, delimiter, '\n', '\r');
    for (;;) {
        std::size_t at = specials.next();
        if (at == ByteFinder::kEnd) {
            if (lineStart == text.size())
                break;
            at = text.size();  // the last line, without a line break
        } else if (text[at] == delimiter) {
            fields.push_back(text.substr(fieldStart, at - fieldStart));
            fieldStart = at + 1;
            continue;
        } else if (text[at] == '\r') {
            strayReturn |= at + 1 == text.size() || text[at + 1] != '\n';
            continue;
        }
        std::size_t lineEnd = at;
        if (at < text.size() && lineEnd > lineStart && text[lineEnd - 1] == '\r')
            --lineEnd;  // CR LF
        starts_.push_back(firstField);
        fields.push_back(text.substr(fieldStart, lineEnd - fieldStart));
        CsvRow& row = rows.emplace_back();
        row.line = line++;
        const std::size_t found = fields.size() - starts_.back();
        if (lineEnd == lineStart)
            row.problem = "empty line";
        else if (found != expectedFields)
            row.problem = fieldCountProblem(expectedFields, found);
        if (!strayReturn && lineEnd > lineStart)
            row.text = text.substr(lineStart, lineEnd - lineStart);
        if (at == text.size())
            break;
        lineStart = fieldStart = at + 1;
        firstField = fields.size();
        strayReturn = false;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::size_t last = r + 1 < rows.size() ? starts_[r + 1] : fields.size();
        rows[r].fields = std::span<const std::string_view>(fields.data() + starts_[r], last - starts_[r]);
    }
}

CsvReader::CsvReader(std::istream& in)
    : CsvReader(in, Options{})
{}

CsvReader::CsvReader(std::istream& in, Options options)
    : in_(in)
    , options_(options)
    , delimiter_(options.delimiter)
{}

void CsvReader::detectDelimiter()
{
    constexpr char kCandidates[] = {',', ';', '\t'};
    std::size_t counts[3] = {};
    bool quoted = false;
    // The first line, up to a generous limit: a header is short.
    for (std::size_t i = 0; i < (std::size_t{1} << 16); ++i) {
        int c = peek(i);
        if (c < 0 || (!quoted && (c == '\n' || c == '\r')))
            break;
        if (c == '"')
            quoted = !quoted;
        for (std::size_t k = 0; k < 3; ++k)
            if (!quoted && c == kCandidates[k])
                ++counts[k];
    }
    std::size_t best = 0;
    for (std::size_t k = 1; k < 3; ++k)
        if (counts[k] > counts[best])
            best = k;
    if (counts[best] > 0)
        delimiter_ = kCandidates[best];
}

bool CsvReader::fill(std::size_t needed)
{
    while (buffer_.size() - pos_ < needed) {
        // Drop what has been read, except the quoted field we may come back to.
        std::size_t keepFrom = std::min(pos_, mark_);
        if (keepFrom > 0 && keepFrom >= buffer_.size() / 2) {
            buffer_.erase(0, keepFrom);
            bufferStart_ += keepFrom;
            pos_ -= keepFrom;
            if (mark_ != kNoMark)
                mark_ -= keepFrom;
        }
        if (!in_.good())
            return false;
        const std::size_t old = buffer_.size();
        readMore(needed - (buffer_.size() - pos_));
        if (buffer_.size() == old && !in_.good())
            return false;
    }
    return true;
}

void CsvReader::readMore(std::size_t wanted)
{
    // A piece of the usual size, or of UTF-8 all that is wanted when that is
    // more: a chunk of plain text read whole leaves no more after it than a
    // line cut short, for nextPlainText to move. Pieces set smaller than a
    // page (for tests) stay as small.
    constexpr std::size_t kPageBytes = 4096;
    std::size_t chunk = std::max<std::size_t>(options_.readChunkBytes, 1);
    if (encoding_ == Encoding::Utf8 && chunk >= kPageBytes)
        chunk = std::max(chunk, wanted);
    std::string& target = encoding_ == Encoding::Utf8 ? buffer_ : raw_;
    const std::size_t old = target.size();
    target.resize(old + chunk);
    in_.read(target.data() + old, static_cast<std::streamsize>(chunk));
    const auto got = static_cast<std::size_t>(in_.gcount());
    target.resize(old + got);
    bytesRead_ += got;
    if (in_.bad())
        readFailed_ = true;
    if (encoding_ != Encoding::Utf8)
        convertRaw(!in_.good());
}

namespace {

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c < 0xE000;
}

}  // namespace

void CsvReader::detectWideEncoding()
{
    const int b0 = peek(0), b1 = peek(1);
    std::size_t mark = 0;
    if (b0 == 0xFF && b1 == 0xFE) {
        const bool utf32 = peek(2) == 0 && peek(3) == 0;
        encoding_ = utf32 ? Encoding::Utf32Le : Encoding::Utf16Le;
        mark = utf32 ? 4 : 2;
    } else if (b0 == 0xFE && b1 == 0xFF) {
        encoding_ = Encoding::Utf16Be;
        mark = 2;
    } else if (b0 == 0 && b1 == 0 && peek(2) == 0xFE && peek(3) == 0xFF) {
        encoding_ = Encoding::Utf32Be;
        mark = 4;
    } else {
        return;
    }
    hadBom_ = true;
    // What was read so far is converted like everything after it.
    raw_.assign(buffer_, pos_ + mark, std::string::npos);
    buffer_.erase(pos_);
    convertRaw(!in_.good());
}

void CsvReader::convertRaw(bool atEnd)
{
    const bool wide = encoding_ == Encoding::Utf32Le || encoding_ == Encoding::Utf32Be;
    const bool little = encoding_ == Encoding::Utf16Le || encoding_ == Encoding::Utf32Le;
    const std::size_t unit = wide ? 4 : 2;
    auto byte = [this](std::size_t at) { return static_cast<char32_t>(static_cast<unsigned char>(raw_[at])); };
    auto codeUnit = [&](std::size_t at) {
        char32_t value = 0;
        for (std::size_t k = 0; k < unit; ++k)
            value = (value << 8) | byte(little ? at + unit - 1 - k : at + k);
        return value;
    };
    std::size_t at = 0;
    while (raw_.size() - at >= unit) {
        char32_t c = codeUnit(at);
        at += unit;
        if (wide) {
            if (c > 0x10FFFF || isSurrogate(c))
                c = kReplacementCharacter;
        } else if (c >= 0xD800 && c < 0xDC00) {
            // A high surrogate: its low one follows, or the character is broken.
            if (raw_.size() - at < 2 && !atEnd) {
                at -= unit;
                break;
            }
            const char32_t low = raw_.size() - at >= 2 ? codeUnit(at) : 0;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                at += unit;
            } else {
                c = kReplacementCharacter;
            }
        } else if (isSurrogate(c)) {
            c = kReplacementCharacter;
        }
        appendUtf8(buffer_, c);
    }
    raw_.erase(0, at);
    if (atEnd && !raw_.empty()) {
        appendUtf8(buffer_, kReplacementCharacter);  // the input ends within a code unit
        raw_.clear();
    }
}

const char* CsvReader::encodingName() const noexcept
{
    switch (encoding_) {
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Utf16Le:
        return "UTF-16LE";
    case Encoding::Utf16Be:
        return "UTF-16BE";
    case Encoding::Utf32Le:
        return "UTF-32LE";
    case Encoding::Utf32Be:
        return "UTF-32BE";
    }
    return "UTF-8";
}

int CsvReader::peek(std::size_t ahead)
{
    if (pos_ + ahead >= buffer_.size() && !fill(ahead + 1))
        return -1;
    return static_cast<unsigned char>(buffer_[pos_ + ahead]);
}

bool CsvReader::atLineBreak()
{
    int c = peek();
    if (c == '\n')
        return true;
    if (c == '\r') {
        int d = peek(1);
        return d == '\n' || d < 0;
    }
    return false;
}

void CsvReader::consumeLineBreak()
{
    lastCrLf_ = peek() == '\r';
    if (lastCrLf_)
        advance();
    if (peek() == '\n')
        advance();
    ++line_;
}

void CsvReader::skipRestOfLine()
{
    for (int c = peek(); c >= 0; c = peek()) {
        if (atLineBreak()) {
            consumeLineBreak();
            return;
        }
        advance();
    }
}

bool CsvReader::next(CsvRecord& record)
{
    const bool read = nextRecord(record);
    // A record read where a much wider one was gives back the room of the
    // fields it does not need: reused records never hold more than a few
    // times what they carry.
    if (record.fields.capacity() > 2 * record.fields.size() + 64)
        record.fields.shrink_to_fit();
    return read;
}

bool CsvReader::nextRecord(CsvRecord& record)
{
    if (!started_) {
        started_ = true;
        detectWideEncoding();
        if (peek(0) == 0xEF && peek(1) == 0xBB && peek(2) == 0xBF) {
            pos_ += 3;
            hadBom_ = true;
        }
        if (options_.detectDelimiter)
            detectDelimiter();
    }
    auto emptyLine = [&record](long line) {
        record.fields.assign(1, std::string());
        record.line = line;
        record.problem = "empty line";
        return true;
    };
    if (pendingEmptyLines_ > 0) {
        --pendingEmptyLines_;
        return emptyLine(nextEmptyLine_++);
    }
    long firstEmpty = line_;
    long emptyLines = 0;
    while (atLineBreak()) {
        consumeLineBreak();
        ++emptyLines;
    }
    if (peek() < 0)
        return false;  // the input ends in empty lines: they hold no record
    if (emptyLines > 0) {
        pendingEmptyLines_ = emptyLines - 1;
        nextEmptyLine_ = firstEmpty + 1;
        return emptyLine(firstEmpty);
    }
    return readRecord(record);
}

void CsvReader::resumeAfterLineOf(std::size_t position, long line)
{
    std::size_t lineEnd = buffer_.find('\n', position);
    mark_ = kNoMark;
    line_ = line;
    if (lineEnd != std::string::npos) {
        pos_ = lineEnd + 1;
        ++line_;
    } else {
        pos_ = buffer_.size();
        skipRestOfLine();
    }
}

bool CsvReader::readRecord(CsvRecord& record)
{
    record.fields.clear();
    record.problem.clear();
    record.line = line_;
    lastCrLf_ = false;
    const std::size_t maxField = options_.maxFieldBytes;
    const std::size_t maxRecord = options_.maxRecordBytes;
    // The record's bytes so far: each field's text and what stands between.
    std::size_t recordBytes = 0;
    auto tooLong = [&] { return "record longer than " + std::to_string(maxRecord) + " bytes"; };

    // The last quoted field of this record that ran over a line break. A
    // stray quote looks just like one, until the record turns out malformed:
    // then the record is cut at that quote and reading resumes on the next
    // line, so that one stray quote cannot swallow the rows after it.
    struct Span {
        std::size_t offset;  // of the opening quote, from the start of the input
        long line;
        std::size_t fieldsBefore;
    };
    std::optional<Span> span;
    auto cutAtSpan = [&](std::string problem) {
        record.fields.resize(span->fieldsBefore);
        record.problem = std::move(problem);
        resumeAfterLineOf(span->offset - bufferStart_, span->line);
        return true;
    };
    // Another field follows the last one the record may have: the record
    // ends there, and reading resumes on the next line.
    auto endAtFieldLimit = [&] {
        if (span)
            return cutAtSpan("unbalanced quote");
        record.problem = "more than " + std::to_string(options_.maxRecordFields) + " fields";
        skipRestOfLine();
        return true;
    };

    std::string field;
    for (;;) {
        field.clear();
        // A field may take the room the record has left, up to the field limit.
        const std::size_t room = recordBytes < maxRecord ? maxRecord - recordBytes : 0;
        const bool recordBound = room < maxField;
        const std::size_t fieldLimit = recordBound ? room : maxField;
        if (peek() == '"') {
            const Span here{bufferStart_ + pos_, line_, record.fields.size()};
            mark_ = span ? span->offset - bufferStart_ : pos_;  // keep the text from here on, in case we must come back
            advance();
            bool closed = false;
            for (int c = peek(); c >= 0 && field.size() <= fieldLimit; c = peek()) {
                advance();
                if (c == '"') {
                    if (peek() != '"') {
                        closed = true;
                        break;
                    }
                    advance();  // a doubled quote stands for one
                } else if (c == '\n') {
                    ++line_;
                }
                field += static_cast<char>(c);
            }
            if (!closed || line_ != here.line)
                span = here;
            if (!closed)
                return cutAtSpan(field.size() <= fieldLimit ? "unterminated quote"
                                     : recordBound          ? tooLong() + " (unterminated quote?)"
                                                            : "quoted field longer than " + std::to_string(maxField) +
                                         " bytes (unterminated quote?)");
            mark_ = span ? span->offset - bufferStart_ : kNoMark;
            record.fields.push_back(field);
            recordBytes += field.size() + 3;  // the quotes and the delimiter
            int c = peek();
            if (c == delimiter_) {
                if (record.fields.size() >= options_.maxRecordFields)
                    return endAtFieldLimit();
                advance();
                continue;
            }
            if (c < 0)
                break;
            if (atLineBreak()) {
                consumeLineBreak();
                break;
            }
            if (span)
                return cutAtSpan("unbalanced quote");
            record.problem = "unexpected text after a closing quote";
            skipRestOfLine();
            return true;
        }

        // The plain bytes of an unquoted field already in the buffer, up to
        // the next comma or line break, in one sweep; the loop below takes
        // the rest (the buffer's end, a CR, the field limit) byte by byte.
        {
            const char* data = buffer_.data();
            const char delimiter = delimiter_;
            std::size_t end = pos_;
            const std::size_t limit = std::min(buffer_.size(), pos_ + fieldLimit);
            while (end < limit && data[end] != delimiter && data[end] != '\n' && data[end] != '\r')
                ++end;
            field.append(data + pos_, end - pos_);
            pos_ = end;
        }
        int c = peek();
        while (c >= 0 && c != delimiter_ && !atLineBreak()) {
            if (field.size() >= fieldLimit) {
                if (span)
                    return cutAtSpan("unbalanced quote");
                record.fields.push_back(field);
                record.problem = recordBound ? tooLong() : "field longer than " + std::to_string(maxField) + " bytes";
                skipRestOfLine();
                return true;
            }
            field += static_cast<char>(c);
            advance();
            c = peek();
        }
        record.fields.push_back(field);
        recordBytes += field.size() + 1;
        if (c == delimiter_) {
            if (record.fields.size() >= options_.maxRecordFields)
                return endAtFieldLimit();
            advance();
            continue;
        }
        if (c >= 0)
            consumeLineBreak();
        break;
    }
    checkFieldCount(record);
    if (record.malformed() && span)
        return cutAtSpan("unbalanced quote");
    mark_ = kNoMark;
    return true;
}

void CsvReader::checkFieldCount(CsvRecord& record)
{
    if (expectedFields_ == 0) {
        expectedFields_ = record.fields.size();
        return;
    }
    if (record.fields.size() != expectedFields_)
        record.problem = fieldCountProblem(expectedFields_, record.fields.size());
}

std::size_t CsvReader::plainLength(std::size_t limit) const
{
    const char* const begin = buffer_.data() + pos_;
    const std::size_t available = buffer_.size() - pos_;
    std::size_t length = std::min(available, limit);
    // Whether the text runs to the end of the input, whose last record needs no line break.
    // (Not after a read error: the last line may have been cut short.)
    bool toTheEnd = length == available && !in_.good() && !readFailed_;
    if (const void* quote = std::memchr(begin, '"', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(quote) - begin);
        toTheEnd = false;
    }
    std::size_t end = 0;
    if (toTheEnd && length > 0 && begin[length - 1] != '\r') {
        end = length;
    } else if (const std::size_t lineBreak = std::string_view(begin, length).rfind('\n');
               lineBreak != std::string_view::npos) {
        end = lineBreak + 1;
    }
    // Empty lines are records only when a record follows them: leave those
    // at the end of the text for next() to decide.
    while (end > 0) {
        std::size_t lineEnd = end;
        if (begin[lineEnd - 1] == '\n') {
            --lineEnd;
            if (lineEnd > 0 && begin[lineEnd - 1] == '\r')
                --lineEnd;
        }
        if (lineEnd > 0 && begin[lineEnd - 1] != '\n')
            break;
        end = lineEnd;
    }
    return end;
}

bool CsvReader::nextPlainText(std::string& text, long& firstLine, std::size_t maxBytes)
{
    // A field longer than the limit must be reported, which the plain text cannot do.
    // Nor a record over the limits: a line of at most maxBytes bytes has at
    // most maxBytes + 1 fields.
    if (expectedFields_ == 0 || pendingEmptyLines_ > 0 || maxBytes == 0 || maxBytes > options_.maxFieldBytes ||
        maxBytes > options_.maxRecordBytes || maxBytes >= options_.maxRecordFields)
        return false;
    fill(maxBytes);  // as much as the input has, up to maxBytes
    const std::size_t length = plainLength(maxBytes);
    if (length == 0)
        return false;
    firstLine = line_;
    if (pos_ == 0 && mark_ == kNoMark) {
        // The text is the buffer's start: the buffer becomes the text, and
        // what follows it (a line cut short) the start of a buffer of its own.
        text.swap(buffer_);
        buffer_.assign(text, length, std::string::npos);
        text.resize(length);
        bufferStart_ += length;
    } else {
        text.assign(buffer_, pos_, length);
        pos_ += length;
    }
    line_ += static_cast<long>(countByte(text, '\n'));
    lastCrLf_ = length >= 2 && text[length - 1] == '\n' && text[length - 2] == '\r';
    return true;
}

bool CsvReader::plainRecordNext()
{
    if (expectedFields_ == 0 || pendingEmptyLines_ > 0 || peek() < 0)
        return false;
    const char* const begin = buffer_.data() + pos_;
    const std::size_t available = buffer_.size() - pos_;
    const void* lineBreak = std::memchr(begin, '\n', available);
    std::size_t line = lineBreak ? static_cast<std::size_t>(static_cast<const char*>(lineBreak) - begin) : available;
    if (!lineBreak && (in_.good() || readFailed_))
        return false;  // the line goes on past what has been read, or was cut short
    if (line > 0 && begin[line - 1] == '\r')
        --line;
    return line > 0 && !std::memchr(begin, '"', line) && line <= options_.maxFieldBytes &&
        line <= options_.maxRecordBytes && line < options_.maxRecordFields;
}

CsvWriter::CsvWriter(std::ostream& out, std::string lineBreak, char delimiter)
    : CsvWriter(std::move(lineBreak), delimiter)
{
    out_ = &out;
}

CsvWriter::CsvWriter(std::string& text, std::string lineBreak, char delimiter)
    : CsvWriter(std::move(lineBreak), delimiter)
{
    text_ = &text;
}

CsvWriter::CsvWriter(std::string lineBreak, char delimiter)
    : lineBreak_(std::move(lineBreak))
    , delimiter_(delimiter)
    , numbersNeedQuotesCheck_(std::string_view("0123456789+-.eE").find(delimiter) != std::string_view::npos)
{}

std::string CsvWriter::quoted(std::string_view field, char delimiter)
{
    if (!needsQuotes(field, delimiter))
        return std::string(field);
    std::string text;
    text.reserve(field.size() + 2);
    text += '"';
    for (char c : field) {
        if (c == '"')
            text += '"';
        text += c;
    }
    text += '"';
    return text;
}

void CsvWriter::writeRecord(std::span<const std::string> fields)
{
    for (const std::string& field : fields)
        writeField(field);
    endRecord();
}

}  // namespace wrenfield::tabular
