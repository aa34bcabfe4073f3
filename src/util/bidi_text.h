#pragma once

#include <QString>

namespace zartav {

// Right-to-left messages that carry left-to-right runs. Inside a Farsi sentence a bare path
// comes out scrambled (its leading "/" jumps to the far end), and an English sentence from the
// database engine takes its neighbours' punctuation with it. Each such run is wrapped in
// U+2068 FIRST STRONG ISOLATE ... U+2069 POP DIRECTIONAL ISOLATE, so it is laid out on its own.

// `run` isolated; an empty run stays empty.
QString isolated(const QString& run);

// A file path in the platform's separators, isolated.
QString isolatedPath(const QString& path);

// The Farsi sentence the user reads first; the engine's own words, when there are any, follow
// on a line of their own, isolated. They never stand in for the sentence.
QString withEngineWords(const QString& farsi, const QString& engineWords);

}  // namespace zartav
