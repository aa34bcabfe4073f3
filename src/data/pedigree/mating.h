#pragma once

// The mating choice: the inbreeding a calf would have with each bull of the catalogue as its
// sire and a given cow as its dam. The bulls' ancestries are read once for a catalogue; each dam
// then costs her own ancestry and one pass over the animals held.

#include "data/pedigree/pedigree.h"

#include <functional>

namespace zartav {
class StoreLink;
}

namespace zartav::pedigree {

class MatingTable {
public:
    // The catalogue held in memory: `rows` bulls, each given by the values of every catalogue
    // column in the catalogue's order. Reads every ancestor of every bull; false when the store
    // could not be read.
    bool prepare(const StoreLink& connection, int rows, const std::function<QStringList(int row)>& values,
                 QString* error = nullptr);
    bool isPrepared() const { return reader_ != nullptr; }

    // For each row of the catalogue, the F of a calf of that bull and the dam whose registration
    // number is `dam` (a record of the store, or a cow known by her number alone). Nothing when
    // the store could not be read.
    std::optional<QVector<double>> forDam(const QString& dam, QString* error = nullptr);

private:
    std::unique_ptr<AnimalReader> reader_;
    PedigreeGraph graph_;
    QVector<int> bullNodes_;
};

}  // namespace zartav::pedigree
