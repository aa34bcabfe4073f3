#pragma once

// What a benchmark of the windows needs before its first window: the program's pictures, a
// program folder and a user data folder of its own (so nothing of a real desk is read or
// written), and the utility object the windows reach.

#include "util/app_paths.h"
#include "services/ttools.h"

#include <QTemporaryDir>

// Qt's resource registration must be called from outside any namespace.
inline void registerBenchPictures() { Q_INIT_RESOURCE(zartav_assets); }

namespace zartav::bench {

class BenchDesk {
public:
    BenchDesk() {
        registerBenchPictures();
        paths::setProgramFolderForTesting(programDir_.path());
        paths::setUserDataFolderForTesting(userDir_.path());
    }
    ~BenchDesk() {
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }
    BenchDesk(const BenchDesk&) = delete;
    BenchDesk& operator=(const BenchDesk&) = delete;

private:
    QTemporaryDir programDir_, userDir_;
    TTools tools_;
};

}  // namespace zartav::bench
