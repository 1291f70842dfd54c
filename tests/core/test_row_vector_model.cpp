// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/RowVectorModel.h"

#include <QTest>

using namespace kvorn;

namespace {

/// Rows of one letter each, kept in ascending order unless sorted otherwise.
class Letters : public RowVectorModel<QString>
{
public:
    explicit Letters(const QString &letters)
    {
        for (const QChar c : letters)
            appendRow(QString(c));
    }

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 1;
    }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        return index.isValid() && role == Qt::DisplayRole ? QVariant(rowAt(index.row()))
                                                          : QVariant();
    }

    QString letters() const
    {
        QString s;
        for (const QString &row : rows())
            s += row;
        return s;
    }
    QString letterAt(int row) const { return hasRow(row) ? rowAt(row) : QString(); }

    /// Runs an operation such as "insert c", "remove 2", "clear", "descending"; true when
    /// it took the current row away.
    bool run(const QString &op)
    {
        const QString arg = op.section(QLatin1Char(' '), 1);
        if (op.startsWith(QLatin1String("insert"))) {
            insertSorted(arg, std::less<QString>());
            return false;
        }
        if (op.startsWith(QLatin1String("remove")))
            return eraseRow(arg.toInt());
        if (op == QLatin1String("clear"))
            return resetRows([](std::vector<QString> &rows) { rows.clear(); });
        if (op == QLatin1String("descending"))
            sortRows(std::greater<QString>());
        return false;
    }

    using RowVectorModel::eraseRow;
    using RowVectorModel::insertRow;
    using RowVectorModel::setCurrentRow;
    using RowVectorModel::sortRows;
};

} // namespace

class TestRowVectorModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void currentAndSelectionFollowTheirRows_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<bool>("currentLost");
        // The current row is "c", a view keeps "d" selected.
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("selected");

        QTest::newRow("insert before") << "insert b" << "abbcde" << false << "c" << "d";
        QTest::newRow("insert between") << "insert cc" << "abcccde" << false << "c" << "d";
        QTest::newRow("insert at the end") << "insert z" << "abcdez" << false << "c" << "d";
        QTest::newRow("remove before") << "remove 0" << "bcde" << false << "c" << "d";
        QTest::newRow("remove the current") << "remove 2" << "abde" << true << "" << "d";
        QTest::newRow("remove the selected") << "remove 3" << "abce" << false << "c" << "";
        QTest::newRow("remove after") << "remove 4" << "abcd" << false << "c" << "d";
        QTest::newRow("remove out of range") << "remove 5" << "abcde" << false << "c" << "d";
        QTest::newRow("remove -1") << "remove -1" << "abcde" << false << "c" << "d";
        QTest::newRow("clear") << "clear" << "" << true << "" << "";
        QTest::newRow("sort") << "descending" << "edcba" << false << "c" << "d";
    }

    void currentAndSelectionFollowTheirRows()
    {
        QFETCH(QString, op);
        QFETCH(QString, letters);
        QFETCH(bool, currentLost);
        QFETCH(QString, current);
        QFETCH(QString, selected);

        Letters model(QStringLiteral("abcde"));
        QVERIFY(model.setCurrentRow(2));
        QVERIFY(!model.setCurrentRow(2));
        const QPersistentModelIndex selection(model.index(3, 0));
        QCOMPARE(model.run(op), currentLost);
        QCOMPARE(model.letters(), letters);
        QCOMPARE(model.letterAt(model.currentRow()), current);
        QCOMPARE(model.currentRow() < 0, current.isEmpty());
        QCOMPARE(selection.isValid() ? selection.data().toString() : QString(), selected);
    }

    void clearWithoutCurrent()
    {
        Letters model(QStringLiteral("ab"));
        QVERIFY(model.setCurrentRow(1));
        QVERIFY(model.setCurrentRow(-1));
        QCOMPARE(model.currentRow(), -1);
        QVERIFY(!model.run(QStringLiteral("clear")));
    }

    // What a model keeps beside its rows must be up to date when views hear of a change,
    // since their slots may ask for it.
    void duringRunsBeforeViewsHear()
    {
        Letters model(QStringLiteral("ac"));
        int kept = 0;
        QList<int> seen;
        const auto look = [&] { seen << kept; };
        connect(&model, &QAbstractItemModel::rowsInserted, this, look);
        connect(&model, &QAbstractItemModel::rowsRemoved, this, look);
        connect(&model, &QAbstractItemModel::layoutChanged, this, look);
        model.insertRow(1, QStringLiteral("b"), [&] { kept = 1; });
        model.eraseRow(0, [&] { kept = 2; });
        model.sortRows(std::greater<QString>(), [&] { kept = 3; });
        QCOMPARE(seen, (QList<int>{1, 2, 3}));
        QCOMPARE(model.letters(), QStringLiteral("cb"));
    }
};

QTEST_GUILESS_MAIN(TestRowVectorModel)
#include "test_row_vector_model.moc"
