#pragma once

// A ScanHost that records every call in order, for checking the exact
// sequence of status texts, progress values and yields of a scan.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/ScanHost.h"

namespace tallowby::testing {

class RecordingHost : public ScanHost {
public:
    std::string directory = "/logs";
    std::vector<std::string> names;
    std::vector<bool> selected;
    std::string domain = "mysite.com";
    bool dupes = true;
    bool types = true;
    bool stats = true;
    bool visible = false;
    bool counting = true;
    std::function<void()> onYield;  // runs inside each yield, like an event handler

    std::vector<std::string> events;
    std::vector<ReferrerEntry> rows;
    int yields = 0;

    void select(std::vector<std::string> files) {
        names = std::move(files);
        selected.assign(names.size(), true);
    }
    std::vector<std::string> statuses() const {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.rfind("status:", 0) == 0) out.push_back(e.substr(7));
        }
        return out;
    }

    std::string directoryPath() override { return directory; }
    std::int64_t fileCount() override { return static_cast<std::int64_t>(names.size()); }
    std::string fileName(std::int64_t i) override { return names[static_cast<std::size_t>(i)]; }
    bool fileSelected(std::int64_t i) override { return selected[static_cast<std::size_t>(i)]; }
    std::string_view ownDomain() override { return domain; }
    bool removeDupes() override { return dupes; }
    bool getFileTypes() override { return types; }
    bool displayStats() override { return stats; }
    void setStatusText(std::string_view text) override { events.push_back("status:" + std::string(text)); }
    void setProgressValue(double v) override { events.push_back("value:" + Format(v)); }
    void setProgressMaximum(double v) override { events.push_back("max:" + Format(v)); }
    void yield() override {
        ++yields;
        events.push_back("yield");
        if (onYield) onYield();
    }
    void showStatistics(std::string_view title, std::string_view text) override {
        events.push_back("stats:" + std::string(title) + "|" + std::string(text));
    }
    bool resultsVisible() override { return visible; }
    void toggleResultsView() override {
        visible = !visible;
        events.push_back("toggle");
    }
    void clearResults() override {
        rows.clear();
        events.push_back("clear");
    }
    void addResults(std::vector<ReferrerEntry> r) override {
        events.push_back("rows:" + std::to_string(r.size()));
        for (auto& row : r) rows.push_back(std::move(row));
    }
    bool countsLines() override { return counting; }
    void fileProblem(const std::string& path, FileProblem problem, std::string_view reason) override {
        static const char* kinds[] = {"missing", "unreadable", "readfailed"};
        events.push_back("problem:" + path + "|" + kinds[static_cast<int>(problem)] + "|" +
                         std::string(reason));
    }

    static std::string Format(double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", v);
        return buf;
    }
};

}  // namespace tallowby::testing
