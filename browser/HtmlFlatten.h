#pragma once
// Bounding the nesting of HTML before the text document's parser sees it:
// that parser spends time with the square of the depth, so a few thousand
// nested blocks would hold the window for seconds.
#include <QString>

namespace qv {

// Deepest nesting of elements kept; real notes stay far below it.
constexpr int kHtmlMaxDepth = 32;

// The HTML with every element opened deeper than maxDepth flattened: its
// tags are left out and its text stays; a block left out inside a block of
// text ends that one and begins another like it (inside others it becomes a
// line break). Elements whose end is implied (p, li, td ...) are closed
// explicitly where the next one begins, unclosed elements at the end of an
// enclosing one where it ends. Comments, declarations and the text of
// script, style and title elements pass unchanged. Time and the length of
// the result grow in proportion to the text.
QString FlattenHtml(const QString& html, int maxDepth = kHtmlMaxDepth);

} // namespace qv
