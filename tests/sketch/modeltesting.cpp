#include "modeltesting.h"
#include "../support/testfiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace modeltesting {

SketchModel quietModel() {
    SketchModel model;
    model.setPrinting(false);
    model.setViewSize(viewWidth, viewHeight);
    return model;
}

void drawStroke(SketchModel& model, const std::vector<std::pair<int, int>>& mouse) {
    model.beginStroke(mouse.front().first, mouse.front().second);
    for (std::size_t i = 1; i < mouse.size(); ++i)
        model.extendStroke(mouse[i].first, mouse[i].second);
    model.extendStroke(mouse.back().first, mouse.back().second); // the release
}

void drawCurve(SketchModel& model, int x0, int x1, const std::function<double(int)>& height) {
    std::vector<std::pair<int, int>> mouse;
    const int step = x0 <= x1 ? 1 : -1;
    for (int x = x0;; x += step) {
        mouse.emplace_back(x, viewHeight - static_cast<int>(height(x)));
        if (x == x1)
            break;
    }
    drawStroke(model, mouse);
    model.processLine();
}

void drawCurveOfLength(SketchModel& model, int n) {
    drawCurve(model, 100, 100 + n - 1, [](int x) { return 100.0 + x % 37; });
}

std::string temporaryPath(const std::string& name) {
    static int counter = 0;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string& folder = scratchFolder();
    std::string testName = test ? test->name() : "test";
    for (char& c : testName)
        if (c == '/')
            c = '_'; // parameterised tests are called "Case/0"
    std::string path = folder + "/" + testName + "-" + std::to_string(counter++) + "-" + name;
    std::remove(path.c_str());
    return path;
}

std::string readFile(const std::string& path) {
    return readWholeFile(path);
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

} // namespace modeltesting
