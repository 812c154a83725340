// Comma-separated values, quoted as RFC 4180 quotes them: a field that holds a
// comma, a double quote or a line break is enclosed in double quotes, and a
// double quote inside it is doubled.
//
// The reader streams one record at a time and never gives up on a file: a
// record it cannot read properly is still returned, with the fields it could
// read and a description of the problem, and reading goes on after it.
#pragma once

#include <cstddef>
#include <cstring>
#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfield::tabular {

struct CsvRecord {
    std::vector<std::string> fields;
    // The line (counted from 1) on which the record starts.
    long line = 0;
    // Empty for a well-formed record; otherwise what is wrong with it
    // ("unterminated quote", "expected 8 fields, found 5", "empty line").
    std::string problem;

    bool malformed() const noexcept { return !problem.empty(); }
};

// One record as views into text owned elsewhere: into the plain text that
// CsvReader::nextPlainText gives (no copy of any field), or into the fields
// of a CsvRecord.
struct CsvRow {
    std::span<const std::string_view> fields;
    long line = 0;
    std::string problem;  // as CsvRecord::problem
    // The record as written, its fields with the delimiters between them,
    // when it can be written out again as it stands (no field needs quotes);
    // otherwise empty.
    std::string_view text;

    bool malformed() const noexcept { return !problem.empty(); }
};

// Views of records: `rows` refer to `fields`, which refer to the records'
// text; both are reused from one batch of records to the next.
struct CsvRows {
    std::vector<CsvRow> rows;
    std::vector<std::string_view> fields;

    // Views of the records (which must outlive them).
    void view(std::span<const CsvRecord> records);
    // Splits text from CsvReader::nextPlainText into its records, exactly as
    // CsvReader::next would read them: one a line, the fields between the
    // delimiters, an empty line and a record with other than
    // `expectedFields` fields malformed. `firstLine` is the line on which
    // the text starts.
    void split(std::string_view text, long firstLine, char delimiter, std::size_t expectedFields);

private:
    std::vector<std::size_t> starts_;  // of each row's fields, while splitting
};

class CsvReader {
public:
    struct Options {
        // A field longer than this is not read into memory: the record is
        // reported as malformed and reading resumes on the next line.
        std::size_t maxFieldBytes = std::size_t{1} << 20;
        // Likewise a record longer than this, or with more fields than
        // this: whatever a line holds, reading it takes bounded memory.
        std::size_t maxRecordBytes = std::size_t{1} << 20;
        std::size_t maxRecordFields = 200'000;
        // How much is read from the stream at a time. Small values make
        // every record cross the edges of the reading buffer (for tests).
        std::size_t readChunkBytes = std::size_t{64} << 10;
        // The character between fields: ',' (RFC 4180), or ';' or '\t' as
        // spreadsheets in several locales write them.
        char delimiter = ',';
        // Choose the delimiter from the first line instead: whichever of
        // comma, semicolon and tab it holds most often outside quotes (on a
        // tie, in that order); `delimiter` when it holds none of them.
        bool detectDelimiter = false;
    };

    explicit CsvReader(std::istream& in);
    CsvReader(std::istream& in, Options options);

    // Reads the next record; false at the end of the input. A UTF-8 byte order
    // mark at the very start is skipped. A UTF-16 or UTF-32 byte order mark
    // (a spreadsheet's "Unicode text") makes the reader convert the whole
    // input to UTF-8 as it reads (a code unit that stands for no character
    // becomes U+FFFD). Lines end with LF or CR LF; a missing
    // final line break is accepted. Line breaks inside a quoted field belong to
    // the field. Empty lines at the very end of the input are no records;
    // an empty line anywhere else is a malformed record ("empty line").
    //
    // The first record fixes the number of fields: a later record with another
    // number is returned with its fields and the problem "expected N fields,
    // found M". A record over the limits (Options) is returned with the
    // fields read up to the limit and the problem "record longer than N
    // bytes" or "more than N fields"; reading resumes on the next line. A double quote inside an unquoted field is kept as it stands.
    // A quote that opens a field and is never closed makes the record
    // malformed ("unterminated quote"); reading resumes on the line after the
    // opening quote, so the records that follow are not swallowed. Likewise
    // when a quoted field that runs over a line break leaves its record
    // malformed ("unbalanced quote"): a stray quote on one line does not
    // take the next rows with it.
    bool next(CsvRecord& record);

    // The next records in one piece, when they are plain: none holds a double
    // quote, so each line is one record and its fields lie between the
    // delimiters (CsvRows::split reads them). `text` gets the lines, at
    // most `maxBytes` of them and at least one, each with its line break (the
    // last may end the input without one); `firstLine` the line on which they
    // start. Returns false, reading nothing, when the next record is not
    // plain, the input is at its end, or no record has fixed the number of
    // fields yet:
    // next() reads what comes next. Empty lines are taken only when a record
    // follows them in the text, since empty lines at the end are no records.
    bool nextPlainText(std::string& text, long& firstLine, std::size_t maxBytes);
    // Whether the next line is a plain record (nextPlainText would take it).
    bool plainRecordNext();

    // The delimiter in use (known once the first record has been read).
    char delimiter() const noexcept { return delimiter_; }
    // The number of fields the first record fixed (0 before it is read).
    std::size_t fieldCount() const noexcept { return expectedFields_; }
    // Whether the input began with a byte order mark (UTF-8, or one of the
    // UTF-16 and UTF-32 marks, whose input is read as UTF-8).
    bool hadByteOrderMark() const noexcept { return hadBom_; }
    // The input's encoding: "UTF-8", or "UTF-16LE", "UTF-16BE", "UTF-32LE",
    // "UTF-32BE" as its byte order mark says (known once a record is read).
    const char* encodingName() const noexcept;
    // Where the next record starts, in bytes of UTF-8 from the start of the input.
    std::uint64_t offset() const noexcept { return bufferStart_ + pos_; }
    // Whether the last record read ended with CR LF (rather than LF or the end).
    bool lastRecordEndedWithCrLf() const noexcept { return lastCrLf_; }
    // Whether the input stream failed while reading (not at its end).
    bool readFailed() const noexcept { return readFailed_; }
    // The bytes taken from the input stream so far (the reader reads ahead
    // of the records it has returned by at most a buffer's worth).
    std::uint64_t bytesRead() const noexcept { return bytesRead_; }

private:
    static constexpr std::size_t kNoMark = static_cast<std::size_t>(-1);
    enum class Encoding : std::uint8_t { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

    // The byte at the read position (filling the buffer as needed), or -1 at the end.
    int peek(std::size_t ahead = 0);
    void advance() { ++pos_; }
    bool fill(std::size_t needed);
    // Reads the next piece of the input onto the end of buffer_, as UTF-8:
    // `wanted` bytes or more where they are many.
    void readMore(std::size_t wanted = 1);
    // A UTF-16 or UTF-32 byte order mark at the read position: converts from
    // there on.
    void detectWideEncoding();
    // Converts the whole code units in raw_ onto the end of buffer_ (all of
    // raw_ at the end of the input).
    void convertRaw(bool atEnd);
    bool atLineBreak();       // LF, or CR LF, at the read position
    void consumeLineBreak();  // consumes it and counts the line
    void skipRestOfLine();    // up to and including the next line break
    // Goes on reading on the line after the one that holds `position`
    // (a position in buffer_ on line `line`).
    void resumeAfterLineOf(std::size_t position, long line);
    bool nextRecord(CsvRecord& record);
    bool readRecord(CsvRecord& record);
    // The length of the plain lines from the read position within the
    // buffer's first `limit` bytes, up to the last whole one.
    std::size_t plainLength(std::size_t limit) const;
    void checkFieldCount(CsvRecord& record);
    void detectDelimiter();

    std::istream& in_;
    Options options_;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t bufferStart_ = 0;  // offset in the input of buffer_[0]
    // Start of the quoted field being read (a position in buffer_), kept so
    // that reading can resume after an unterminated quote.
    std::size_t mark_ = kNoMark;
    long line_ = 1;
    bool started_ = false;
    bool hadBom_ = false;
    bool lastCrLf_ = false;
    bool readFailed_ = false;
    std::uint64_t bytesRead_ = 0;
    Encoding encoding_ = Encoding::Utf8;
    std::string raw_;  // bytes read but not yet converted (UTF-16 and UTF-32 only)
    char delimiter_ = ',';
    std::size_t expectedFields_ = 0;
    // Empty lines seen but not yet returned: returned one by one once a
    // record follows them, dropped if the input ends first.
    long pendingEmptyLines_ = 0;
    long nextEmptyLine_ = 0;
};

class CsvWriter {
public:
    // `lineBreak` ends every record ("\n", or "\r\n" to match the input);
    // `delimiter` separates the fields (the input's own, to match it).
    explicit CsvWriter(std::ostream& out, std::string lineBreak = "\n", char delimiter = ',');
    // Appends the records to a text instead, as they would be written.
    explicit CsvWriter(std::string& text, std::string lineBreak = "\n", char delimiter = ',');

    void writeRecord(std::span<const std::string> fields);
    // Writes `count` fields already joined by the delimiter, none of which
    // needs quotes (a CsvRow's text).
    void writeJoinedFields(std::string_view text, std::size_t count)
    {
        if (count == 0)
            return;
        startField(text);
        put(text);
        fieldsInRecord_ += count;
    }
    // Starts a record field by field: each writeField adds one, endRecord ends it.
    void writeField(std::string_view field)
    {
        startField(field);
        if (needsQuotes(field, delimiter_))
            put(quoted(field, delimiter_));
        else
            put(field);
        ++fieldsInRecord_;
    }
    // A field that holds a number's text: digits, a sign, a decimal point, an
    // exponent. It needs quotes only when the delimiter is one of those
    // characters, which the writer knows from the start.
    void writeNumberField(std::string_view number)
    {
        if (numbersNeedQuotesCheck_)
            writeField(number);
        else
            writeJoinedFields(number, 1);
    }
    // A whole record in one piece: `count` fields already joined (a CsvRow's
    // text, not empty), a number's text, and an empty last field; the
    // common record of a batch's output.
    void writeJoinedNumberRecord(std::string_view joined, std::size_t count, std::string_view number)
    {
        constexpr std::size_t kRoom = 256;
        if (numbersNeedQuotesCheck_ || joined.empty() || fieldsInRecord_ != 0 ||
            joined.size() + number.size() + 2 + lineBreak_.size() > kRoom) {
            writeJoinedFields(joined, count);
            writeNumberField(number);
            writeField({});
            endRecord();
            return;
        }
        char record[kRoom];
        char* p = record;
        std::memcpy(p, joined.data(), joined.size());
        p += joined.size();
        *p++ = delimiter_;
        std::memcpy(p, number.data(), number.size());
        p += number.size();
        *p++ = delimiter_;
        std::memcpy(p, lineBreak_.data(), lineBreak_.size());
        p += lineBreak_.size();
        put({record, static_cast<std::size_t>(p - record)});
    }
    void endRecord()
    {
        // A record of one empty field would read back as an empty line: quote it.
        if (fieldsInRecord_ == 1 && firstFieldEmpty_)
            put("\"\"");
        put(lineBreak_);
        fieldsInRecord_ = 0;
    }

    // The field as it is written: quoted only when it needs to be.
    static std::string quoted(std::string_view field, char delimiter = ',');

private:
    CsvWriter(std::string lineBreak, char delimiter);

    // Whether a field holds the delimiter, a double quote or a line break. A
    // plain loop: find_first_of would search the four characters once for
    // every byte.
    static bool needsQuotes(std::string_view field, char delimiter)
    {
        for (char c : field)
            if (c == delimiter || c == '"' || c == '\r' || c == '\n')
                return true;
        return false;
    }
    // The delimiter before every field but the first.
    void startField(std::string_view field)
    {
        if (fieldsInRecord_ == 0)
            firstFieldEmpty_ = field.empty();
        else
            put(delimiter_);
    }

    void put(std::string_view text)
    {
        if (text_)
            text_->append(text);
        else
            out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    void put(char c)
    {
        if (text_)
            text_->push_back(c);
        else
            out_->put(c);
    }

    std::ostream* out_ = nullptr;
    std::string* text_ = nullptr;
    std::string lineBreak_;
    char delimiter_ = ',';
    std::size_t fieldsInRecord_ = 0;
    bool firstFieldEmpty_ = false;
    bool numbersNeedQuotesCheck_ = false;
};

}  // namespace wrenfield::tabular
