#include "results_file.h"

#include <cstdio>

ResultsFile::ResultsFile(const std::string& path) : out(path, std::ios::trunc) {}

void ResultsFile::Put(const std::string& name, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    Put(name, std::string(text));
}

void ResultsFile::Put(const std::string& name, const std::string& value) {
    out << name << "=" << value << "\n";
    out.flush();
    std::printf("%s=%s\n", name.c_str(), value.c_str());
}

void ResultsFile::Put(const std::string& name, const Spread& spread) {
    Put(name + "_median", spread.median);
    Put(name + "_low", spread.low);
    Put(name + "_high", spread.high);
}
