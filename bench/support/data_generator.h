#pragma once

// Fills a store (a Data.db or a server database) with made-up but plausible records and a bull
// catalogue, for the benchmarks and for demonstrations. Not part of the program.

#include <QString>

namespace zartav::bench {

struct GeneratorOptions {
    int records = 100000;
    int herds = 300;
    int bulls = 3000;
    bool photos = false;  // three photos per record
    int photoWidth = 400;
    int photoHeight = 300;
    unsigned seed = 1;
};

// Writes the records and the catalogue into the store at `address` (a file path or a server URL;
// given both tables when new; rows already there are kept). One transaction, rows written many
// to a statement. The records get no history, as an office's records from before it was kept.
bool generateData(const QString& address, const GeneratorOptions& options, QString* error = nullptr);

// A small picture as the entry form stores it (an uncompressed BMP stream); `variant` changes
// colours and shapes so records do not all share one photo.
QByteArray makePhoto(int width, int height, int variant);

}  // namespace zartav::bench
