// The runtime provides every operation the plug-in imports (hostsdk/FMWrapper.def).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(Exports, EveryImportedOperationIsProvided) {
    std::ifstream def(VORELLE_SOURCE_DIR "/hostsdk/FMWrapper.def");
    ASSERT_TRUE(def) << "hostsdk/FMWrapper.def";
    std::string line;
    int operations = 0;
    while (std::getline(def, line)) {
        std::istringstream words(line);
        std::string name;
        if (!(words >> name) || name.rfind("FM_", 0) != 0) {
            continue;
        }
        EXPECT_NE(dlsym(RTLD_DEFAULT, name.c_str()), nullptr) << name;
        ++operations;
    }
    EXPECT_GE(operations, 19);
}

}  // namespace
