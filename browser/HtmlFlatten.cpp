#include "browser/HtmlFlatten.h"

#include <QHash>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace qv {

namespace {

bool OneOf(QStringView name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

// Elements that never hold anything and so never open a level.
bool IsVoid(QStringView name)
{
    return OneOf(name, {"br", "img", "hr", "meta", "link", "input", "area", "base", "col", "embed", "param",
                        "source", "track", "wbr", "basefont", "frame", "keygen"});
}

// Elements whose end tag may be left out: the next one of the same kind
// ends them.
bool EndsAtNextOfKind(QStringView name)
{
    return OneOf(name, {"p", "li", "dt", "dd", "tr", "td", "th", "option"});
}

// Blocks that hold text directly: one left out below them ends the one
// open and begins another like it, so paragraphs stay paragraphs.
bool IsTextBlock(QStringView name)
{
    return OneOf(name, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "blockquote", "pre", "center", "address"});
}

bool IsBlock(QStringView name)
{
    return OneOf(name, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "li", "ul", "ol", "dl", "dt", "dd",
                        "blockquote", "pre", "table", "tr", "td", "th", "center", "address", "body", "html"});
}

// Elements whose content is text up to their own end tag.
bool IsRawText(QStringView name) { return OneOf(name, {"script", "style", "title", "textarea", "xmp"}); }

bool IsNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char(':'); }

class Flattener {
public:
    Flattener(const QString& in, int maxDepth) : in_(in), n_(in.size()), max_(std::max(1, maxDepth))
    {
        out_.reserve(n_ + n_ / 16);
    }

    QString Run()
    {
        qsizetype i = 0;
        while (i < n_) {
            const qsizetype lt = in_.indexOf(QLatin1Char('<'), i);
            const qsizetype textEnd = lt < 0 ? n_ : lt;
            if (textEnd > i) {
                out_.append(QStringView(in_).mid(i, textEnd - i));
                breakLast_ = false;
            }
            if (lt < 0)
                break;
            i = Markup(lt);
        }
        return out_;
    }

private:
    // Handles the markup at '<' and returns where the text goes on.
    qsizetype Markup(qsizetype lt)
    {
        const QStringView rest = QStringView(in_).mid(lt);
        if (rest.startsWith(QLatin1String("<!--")))
            return CopyUpTo(lt, QStringLiteral("-->"));
        if (rest.startsWith(QLatin1String("<!")) || rest.startsWith(QLatin1String("<?")))
            return CopyUpTo(lt, QStringLiteral(">"));
        const bool end = rest.startsWith(QLatin1String("</"));
        qsizetype p = lt + (end ? 2 : 1);
        const qsizetype nameStart = p;
        while (p < n_ && IsNameChar(in_[p]))
            ++p;
        if (p == nameStart || !in_[nameStart].isLetter()) { // a plain '<'
            out_.append(QLatin1Char('<'));
            return lt + 1;
        }
        const QString name = in_.mid(nameStart, p - nameStart).toLower();
        const qsizetype close = TagEnd(p);
        if (close < 0) { // unfinished tag: the rest as it is
            out_.append(QStringView(in_).mid(lt));
            return n_;
        }
        const QStringView tag = QStringView(in_).mid(lt, close + 1 - lt);
        const bool selfClosing = close > lt && in_[close - 1] == QLatin1Char('/');
        if (end)
            EndTag(name, tag);
        else if (IsVoid(name) || selfClosing)
            out_.append(tag);
        else if (StartTag(name, tag) && IsRawText(name))
            return RawText(close + 1, name);
        return close + 1;
    }

    // The '>' ending a tag whose name ends before p; quoted values may hold
    // one. -1 when the text ends first.
    qsizetype TagEnd(qsizetype p) const
    {
        QChar quote;
        for (; p < n_; ++p) {
            const QChar c = in_[p];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('>')) {
                return p;
            }
        }
        return -1;
    }

    qsizetype CopyUpTo(qsizetype from, const QString& terminator)
    {
        const qsizetype at = in_.indexOf(terminator, from + 1);
        const qsizetype to = at < 0 ? n_ : at + terminator.size();
        out_.append(QStringView(in_).mid(from, to - from));
        return to;
    }

    qsizetype RawText(qsizetype from, const QString& name)
    {
        const qsizetype at = in_.indexOf(QStringLiteral("</") + name, from, Qt::CaseInsensitive);
        const qsizetype to = at < 0 ? n_ : at;
        out_.append(QStringView(in_).mid(from, to - from));
        return to;
    }

    // Returns whether the tag was kept.
    bool StartTag(const QString& name, QStringView tag)
    {
        if (EndsAtNextOfKind(name)) {
            auto d = dropped_.find(name);
            if (d != dropped_.end() && *d > 0)
                --*d; // the one before was left out: so is its end
            else if (!open_.empty() && open_.back().Name == name)
                Close(open_.size() - 1);
        }
        if (static_cast<int>(open_.size()) >= max_) {
            ++dropped_[name];
            if (IsBlock(name))
                Break();
            return false;
        }
        open_.push_back({name, tag.toString()});
        out_.append(tag);
        return true;
    }

    void EndTag(const QString& name, QStringView tag)
    {
        auto d = dropped_.find(name);
        if (d != dropped_.end() && *d > 0) {
            --*d;
            return;
        }
        for (std::size_t k = open_.size(); k-- > 0;)
            if (open_[k].Name == name) {
                Close(k);
                return;
            }
        out_.append(tag); // closes nothing open: the parser passes over it
    }

    // Ends the open elements from the innermost down to level k.
    void Close(std::size_t k)
    {
        while (open_.size() > k) {
            out_.append(QLatin1String("</"));
            out_.append(open_.back().Name);
            out_.append(QLatin1Char('>'));
            open_.pop_back();
        }
    }

    void Break()
    {
        if (breakLast_)
            return;
        if (IsTextBlock(open_.back().Name)) {
            const TOpen top = open_.back();
            Close(open_.size() - 1);
            open_.push_back(top);
            out_.append(top.Tag);
        } else {
            out_.append(QLatin1String("<br>"));
        }
        breakLast_ = true;
    }

    const QString& in_;
    const qsizetype n_;
    const int max_;
    QString out_;
    struct TOpen {
        QString Name;
        QString Tag; // as it was written, attributes and all
    };
    std::vector<TOpen> open_;
    QHash<QString, int> dropped_;
    bool breakLast_ = false;
};

} // namespace

QString FlattenHtml(const QString& html, int maxDepth) { return Flattener(html, maxDepth).Run(); }

} // namespace qv
