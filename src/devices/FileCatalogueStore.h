#pragma once
// POSIX: the catalogue in one text file, by default
// $XDG_CONFIG_HOME/nimbrel/devices (or ~/.config/nimbrel/devices).
//
// One entry a line, fields separated by a tab:
//   counter <TAB> CV8_INDEX <TAB> 2
//   name <TAB> CV8 <TAB> serial text <TAB> display name
// In the serial text and the name a backslash, tab, line feed and carriage
// return are written as \\ \t \n \r, other control bytes as \xHH, so any
// name fits on its line. Lines starting with '#', and lines that are not
// understood, are passed over. Every change rewrites the whole file through
// a new file that is flushed to disk and renamed over the old one, so a
// crash leaves either the old or the new catalogue, never a torn one.
#include <filesystem>
#include <string>

#include "devices/CatalogueStore.h"

class FileCatalogueStore final : public CatalogueStore {
public:
    explicit FileCatalogueStore(std::filesystem::path file = userFile());

    // The catalogue file of the current user.
    static std::filesystem::path userFile();

    const std::filesystem::path& file() const { return file_; }

    StoredCounters readCounters() override;
    bool writeCounters(const StoredCounters& counters) override;
    std::vector<RememberedName> readNames(const DeviceModel& model) override;
    bool writeName(const DeviceModel& model, const std::string& serial, const std::string& name) override;

private:
    std::filesystem::path file_;
};

// The escaping of the file's text fields.
std::string escapeCatalogueText(const std::string& text);
std::string unescapeCatalogueText(const std::string& text);
