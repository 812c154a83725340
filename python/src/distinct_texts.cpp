// distinct_texts: a column of Python strings reduced to its distinct texts and
// an index a row, the shape in which the column adapter reads text inputs
// (each distinct text read once by the vocabulary). A column of births
// repeats a handful of texts (population names, sexes, group names) a million
// times, so the texts seen are remembered: a row costs one look-up of its
// text in a small table instead of hashing a Python object. A text is all of
// its characters, a NUL among them.
//
// Only the plain case is taken here: an object array holding str, None and
// float NaN. Any other value (a number, pandas' NA, a str subclass, a text
// that cannot be written as UTF-8) gives None, and the package reduces the
// column its general way.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bindings.h"

namespace py = pybind11;

namespace wrenfield::python {

namespace {

// The distinct texts in the order first seen, each a view of its Python
// string's own UTF-8 (which lives as long as the array holds the string).
// A text of up to eight bytes (most texts of a column of births) is held as
// one word and looked up in a small table by it: one comparison, whose
// outcome the processor soon predicts, a row.
class TextMemo {
public:
    std::int64_t indexOf(std::string_view text)
    {
        if (text.size() > sizeof(std::uint64_t))
            return general(text);
        std::uint64_t word = 0;
        for (std::size_t b = 0; b < text.size(); ++b)
            word |= std::uint64_t{static_cast<unsigned char>(text[b])} << (8 * b);
        // The length goes in too: "a" and "a\0" are different texts.
        const std::uint64_t key = word * 0x9E3779B97F4A7C15ULL + text.size();
        Slot& slot = table_[(key ^ (key >> 29)) % kSlots];
        if (slot.index >= 0 && slot.word == word && slot.size == text.size())
            return slot.index;
        const std::int64_t index = general(text);
        slot = {word, text.size(), index};
        return index;
    }

    const std::vector<std::string_view>& texts() const { return texts_; }

private:
    // The texts seen, by their bytes.
    std::int64_t general(std::string_view text)
    {
        auto [found, added] = byText_.emplace(text, static_cast<std::int64_t>(texts_.size()));
        if (added)
            texts_.push_back(text);
        return found->second;
    }

    struct Slot {
        std::uint64_t word = 0;
        std::size_t size = 0;
        std::int64_t index = -1;  // none yet
    };
    static constexpr std::size_t kSlots = 64;
    std::array<Slot, kSlots> table_;
    std::vector<std::string_view> texts_;
    std::unordered_map<std::string_view, std::int64_t> byText_;
};

// The UTF-8 of a str without a call for the common pure-ASCII string;
// nothing for a text that has none (a lone surrogate).
std::optional<std::string_view> utf8Of(PyObject* text)
{
    if (PyUnicode_IS_COMPACT_ASCII(text))
        return std::string_view(static_cast<const char*>(PyUnicode_DATA(text)),
                                static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)));
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size);
    if (!utf8) {
        PyErr_Clear();
        return std::nullopt;
    }
    return std::string_view(utf8, static_cast<std::size_t>(size));
}

py::object distinctTexts(const py::array& values)
{
    if (values.dtype().kind() != 'O' || values.ndim() != 1)
        return py::none();
    const std::size_t rows = static_cast<std::size_t>(values.shape(0));
    const py::ssize_t stride = values.strides(0);
    const char* base = static_cast<const char*>(values.data());

    py::array_t<std::int64_t> index(static_cast<py::ssize_t>(rows));
    std::int64_t* out = index.mutable_data();
    TextMemo memo;
    PyObject* previous = nullptr;  // the same object as the row before: the same index
    std::int64_t previousIndex = -1;
    for (std::size_t r = 0; r < rows; ++r) {
        PyObject* value;
        std::memcpy(&value, base + static_cast<py::ssize_t>(r) * stride, sizeof value);
        if (value == previous) {
            out[r] = previousIndex;
            continue;
        }
        std::int64_t i;
        if (PyUnicode_CheckExact(value)) {
            std::optional<std::string_view> text = utf8Of(value);
            if (!text)  // a lone surrogate: the general way says what to do with it
                return py::none();
            i = memo.indexOf(*text);
        } else if (!value || value == Py_None || (PyFloat_Check(value) && std::isnan(PyFloat_AS_DOUBLE(value)))) {
            // (An element never set is NULL, which numpy reads as None.)
            i = -1;
        } else {
            return py::none();
        }
        previous = value;
        previousIndex = out[r] = i;
    }
    py::list texts;
    for (std::string_view text : memo.texts())
        texts.append(py::str(text.data(), text.size()));
    return py::make_tuple(texts, index);
}

}  // namespace

void bindDistinctTexts(py::module_& module)
{
    module.def("distinct_texts", &distinctTexts, py::arg("values"),
               "A one-dimensional object array of str (None and NaN missing) as (distinct texts in the order\n"
               "first seen, int64 index a row with -1 for a missing value); None for any other array.");
}

}  // namespace wrenfield::python
