#pragma once
// Reads a stream one text line at a time; CR, LF and CR LF all end a line.

#include <istream>
#include <string>
#include <vector>

class plistLineReader {
public:
    explicit plistLineReader(std::istream& in);

    /// Reads the next line without its terminator into line; false (and line empty) at the end.
    bool ReadLine(std::string& line);

private:
    bool Fill();

    std::istream& in_;
    std::vector<char> buf_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};
