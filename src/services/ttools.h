#pragma once

#include "data/toolkit/settings_store.h"
#include "data/toolkit/sql_toolkit.h"
#include "dates/date_services.h"
#include "entry/default_templates.h"
#include "entry/photo_services.h"
#include "util/dialog_services.h"
#include "util/world_clock_services.h"

namespace zartav {

// The program's shared service object. Its methods keep the names the rest of the program knows
// them by; each group lives in its own small module and is mixed in here.
class TTools : public DialogServices,
               public DateServices,
               public SqlToolkit,
               public SettingsStore,
               public DefaultTemplates,
               public PhotoServices,
               public WorldClockServices {
public:
    TTools();
    ~TTools();
    TTools(const TTools&) = delete;
    TTools& operator=(const TTools&) = delete;

    // The one instance of the running program (the most recently constructed one).
    static TTools& instance();
};

}  // namespace zartav
