// The body of an answer as Beast writes it: texts that follow one another,
// handed to the connection together as one gather write, so that a long
// answer written in parts is never joined (and copied) first.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>

namespace wrenfield::server {

struct AnswerBody {
    using value_type = std::vector<std::string>;

    static std::uint64_t size(const value_type& parts)
    {
        std::uint64_t size = 0;
        for (const std::string& part : parts)
            size += part.size();
        return size;
    }

    class writer {
    public:
        using const_buffers_type = std::vector<boost::asio::const_buffer>;

        template <bool isRequest, class Fields>
        writer(const boost::beast::http::header<isRequest, Fields>&, const value_type& parts)
            : parts_(parts)
        {}

        void init(boost::beast::error_code& ec) { ec = {}; }

        // Every part at once, the first time; nothing after.
        boost::optional<std::pair<const_buffers_type, bool>> get(boost::beast::error_code& ec)
        {
            ec = {};
            if (given_)
                return boost::none;
            given_ = true;
            const_buffers_type buffers;
            buffers.reserve(parts_.size());
            for (const std::string& part : parts_)
                if (!part.empty())
                    buffers.emplace_back(part.data(), part.size());
            if (buffers.empty())
                return boost::none;
            return std::make_pair(std::move(buffers), false);
        }

    private:
        const value_type& parts_;
        bool given_ = false;
    };
};

}  // namespace wrenfield::server
