#include "plist/plistlinereader.h"

#include <algorithm>

plistLineReader::plistLineReader(std::istream& in) : in_(in), buf_(64 * 1024) {}

bool plistLineReader::Fill() {
    if (pos_ < len_) return true;
    if (!in_) return false;
    in_.read(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    len_ = static_cast<std::size_t>(in_.gcount());
    pos_ = 0;
    return len_ > 0;
}

bool plistLineReader::ReadLine(std::string& line) {
    line.clear();
    if (!Fill()) return false;
    for (;;) {
        const char* begin = buf_.data() + pos_;
        const char* end = buf_.data() + len_;
        const char* stop = std::find_if(begin, end, [](char c) { return c == '\n' || c == '\r'; });
        line.append(begin, stop);
        pos_ += static_cast<std::size_t>(stop - begin);
        if (stop != end) {
            const char terminator = *stop;
            ++pos_;
            // A CR may be followed by the LF of a CR LF pair, possibly in the next chunk.
            if (terminator == '\r' && Fill() && buf_[pos_] == '\n') ++pos_;
            return true;
        }
        if (!Fill()) return true;  // last line without a terminator
    }
}
