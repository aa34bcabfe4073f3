#pragma once

// A calf among its ancestors: every ancestor the store and the catalogue know, at any depth, read
// a generation to a statement; Wright's inbreeding coefficient over all of them by the method of
// Meuwissen and Luo (1992), which visits each animal's ancestors once, youngest first; and how
// complete the near generations are, so that 0 % from an unknown pedigree is not read as
// "unrelated".

#include "data/pedigree/pedigree_links.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <optional>

namespace zartav::pedigree {

struct Node {
    QString key;  // one animal, one key: its record, its bull, or the number it is known by alone
    Animal animal;
    int sire = -1, dam = -1;  // indexes of the nodes; -1 when unknown
};

// Animals and their ancestors, each once, however many of them are asked for.
class PedigreeGraph {
public:
    // An animal whose ancestors are wanted: a record, a bull, or (with an empty key) a calf still
    // being typed. An animal already held is not added twice. Answers its node.
    int add(const Animal& animal);
    // Reads every ancestor not yet read, a generation at a time; false when the store could not
    // be read (`error` holds the engine's words). Loops in the data (an animal its own ancestor)
    // lose the link that closes them.
    bool complete(const AnimalReader& reader, QString* error = nullptr);

    const QVector<Node>& nodes() const { return nodes_; }
    int nodeOf(const QString& key) const { return keys_.value(key, -1); }

    // Wright's F of a node, 0 to 1; every node's is computed once and kept.
    double inbreeding(int node);
    // For every node x, the F a calf of x and `dam` would have; both must be complete.
    QVector<double> matingInbreeding(int dam);

private:
    struct Pending {
        int node;
        bool sire;
    };
    int nodeFor(const ParentRef& ref, bool sire);
    void resolve(const Pending& p);
    void order();
    void computeInbreeding();

    QVector<Node> nodes_;
    QHash<QString, int> keys_;
    QList<Pending> pending_;
    AnimalReader::Found found_;
    QSet<QString> askedSires_, askedDams_;
    QVector<int> order_;     // parents before offspring
    QVector<int> position_;  // of each node in order_
    QVector<double> f_, d_;  // F and the within-family variance, NaN until computed
    bool ordered_ = false;
};

// One calf's pedigree.
class Pedigree {
public:
    // The calf named by `root` and its ancestors; nothing when the store could not be read.
    static std::optional<Pedigree> read(const AnimalReader& reader, const Animal& root, QString* error = nullptr);

    const PedigreeGraph& graph() const { return graph_; }
    const Node& node(int index) const { return graph_.nodes().at(index); }
    int root() const { return root_; }

    // The ancestor at `position`: S the sire, D the dam, SD the sire's dam and so on; -1 when
    // unknown.
    int at(const QString& position) const;
    // The positions of generations 1 .. `generations`: S, D, SS, SD, DS, DD, SSS, ...
    static QStringList positions(int generations);

    double inbreeding() { return graph_.inbreeding(root_); }
    // The share of the ancestors of generations 1 .. `generations` that are known, 0 to 1.
    double completeness(int generations = kCompletenessGenerations) const;
    static constexpr int kCompletenessGenerations = 3;

private:
    PedigreeGraph graph_;
    int root_ = -1;
};

// A share as the program writes a percentage: "12.5 %", "6.25 %", "0 %" (at most `decimals`).
QString percentText(double share, int decimals = 2);

}  // namespace zartav::pedigree
