// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text a window can show a user, and the misspellings that once were among them.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace kvorn::test {

/// Old misspelt or other-system texts and what the window says instead.
struct TextMend
{
    const char *before;
    const char *after;
};
inline constexpr TextMend kTextMends[] = {
    {"Popop", "Popup Blacklist"},
    {"legiitimate", "legitimate"},
    {"Frinds", "Friends List"},
    {"referance", "reference"},
    {"definately", "definitely"},
    {"Visable", "Visible"},
    {"Authentification", "Authentication"},
    {"Outgoing Mail SMTP)", "Outgoing Mail (SMTP)"},
    {"Willdcard", "Wildcard"},
    {"exit the K-Vorn", "exit K-Vorn"},
    {"generalted", "generated"},
    {"WIndows", "Start with the desktop session"},
    {"Internet Explorer", "Custom Browser Title"},
    {"double click to close", "double click to add"},
    {"Banners Servers", "Banner &Servers"},
};

inline void addActionTexts(QStringList &texts, const QList<QAction *> &actions)
{
    for (QAction *a : actions) {
        texts << a->text() << a->toolTip() << a->statusTip();
        if (QMenu *m = a->menu()) {
            texts << m->title();
            addActionTexts(texts, m->actions());
        }
    }
}

/// The texts of `root` and all its children: titles, captions, tooltips, list headers,
/// choices and menu items, hidden ones included.
inline QStringList windowTexts(QWidget *root)
{
    QStringList texts;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        texts << w->windowTitle() << w->toolTip() << w->whatsThis();
        addActionTexts(texts, w->actions());
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            texts << b->text();
        if (auto *l = qobject_cast<QLabel *>(w))
            texts << l->text();
        if (auto *g = qobject_cast<QGroupBox *>(w))
            texts << g->title();
        if (auto *e = qobject_cast<QLineEdit *>(w))
            texts << e->placeholderText();
        if (auto *c = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        }
        if (auto *t = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i) << t->tabToolTip(i);
        }
        if (auto *v = qobject_cast<QAbstractItemView *>(w); v && v->model()) {
            for (int c = 0; c < v->model()->columnCount(); ++c)
                texts << v->model()->headerData(c, Qt::Horizontal).toString();
        }
    }
    texts.removeAll(QString());
    return texts;
}

/// The texts that still hold one of the old spellings.
inline QStringList misspeltTexts(const QStringList &texts)
{
    QStringList bad;
    for (const QString &text : texts) {
        for (const TextMend &m : kTextMends) {
            if (text.contains(QLatin1String(m.before)))
                bad << text;
        }
    }
    return bad;
}

} // namespace kvorn::test
