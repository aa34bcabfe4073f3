#pragma once

// "خروجي اكسل" (Ctrl+E): what the record list shows, under its herd tab and find, written to an
// .xlsx or a .csv file the user names, with a progress window that can stop it.

#include "data/transfer/record_export.h"

class QWidget;

namespace zartav {

class TDM;
class TForm1;

void addExportCommand(TForm1& window, TDM& dm);

// The export once the file is named: read on a connection of its own, so the list may follow
// other desks' work meanwhile; tells the user how it went.
ExportResult exportShownRecords(QWidget* parent, TDM& dm, const QString& path);

}  // namespace zartav
