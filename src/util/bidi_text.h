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

// The explicit direction controls: embeddings and overrides (U+202A..U+202E) and isolates
// (U+2066..U+2069). A stored one reorders what is printed around it (a right-to-left override
// shows 32100089 as 98000123), so values that go into a record may not hold them. The marks
// (U+200E, U+200F) and the zero-width non-joiner and joiner Persian needs are not among them.
bool isDirectionControl(QChar c);
bool holdsDirectionControl(const QString& text);
// `text` without them: a value as it is printed, in the order it was typed.
QString withoutDirectionControls(QString text);
// Farsi: why a value holding one is refused, for a message that names the field before it.
QString directionControlReason();

}  // namespace zartav
