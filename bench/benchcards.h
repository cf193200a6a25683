#pragma once

// The generated register of the list benchmarks: cards with every field filled, newest last,
// and visits spread over them, in a card file or on a server.

#include "db/connectionsettings.h"
#include "testserver.h"
#include "testsupport.h"

#include <QFile>
#include <QString>
#include <string>

// The insert of generated cards numbered i, the engine's expression of the entry date given;
// the statement goes on with the rows of i. The server keeps one live card per category,
// name and sex, so there the number ends the name.
inline QString generatedCardsInsert(const QString& entryDate, bool numberedNames) {
    return QStringLiteral(
               "INSERT INTO D_B (theDate, theType, BName, BSex, BPho, BMob, BMail, BQQ, BMSN, "
               "BWW, BDes, DArea, DCity, DName, DPart, DJob, DAdd, DPho, DFax, DPos, DWWW, FAdd, "
               "FPho, FPro, FDes, theDel) SELECT %1, "
               "substr('客户同事朋友同学家人其他', 1 + (i % 6) * 2, 2), "
               "substr('张王李赵刘陈杨黄周吴徐孙马朱胡郭何高林罗', 1 + i % 20, 1) || "
               "substr('伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平', 1 + (i / 20) % 20, 1) || "
               "substr('一二三四五六七八九十', 1 + (i / 400) % 10, 1)%2, "
               "substr('男女', 1 + i % 2, 1), "
               "'010-' || (60000000 + i), '138' || (10000000 + i), 'user' || i || '@example.com', "
               "'' || (100000 + i), '', 'ww' || i, '老客户，合作多年', "
               "substr('北京上海广东浙江江苏四川', 1 + (i % 6) * 2, 2), '城市' || (i % 50), "
               "'某某科技有限公司' || (i % 1000), '销售部', '经理', '某路' || i || '号', "
               "'021-' || (50000000 + i), '021-' || (40000000 + i), '' || (100000 + i % 900000), "
               "'www.example' || i || '.com', '家庭住址' || i, '' || (80000000 + i), '家属', "
               "'', '否' ")
        .arg(entryDate, numberedNames ? QStringLiteral(" || i") : QString());
}

inline void generateCards(DirectSql& sql, int cards, int visits) {
    sql.exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ")
                 .arg(cards) +
             generatedCardsInsert(
                 QStringLiteral("printf('%04d-%02d-%02d', 2000 + i % 9, 1 + i % 12, 1 + i % 28)"),
                 false) +
             QStringLiteral("FROM n"));
    sql.exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                 "INSERT INTO DList (DID, LDate, LType, LMemo) SELECT 1 + (i * 7919) % %2, "
                 "printf('%04d-%02d-%02d', 2005 + i % 4, 1 + i % 12, 1 + i % 28), '电话', "
                 "'拜访内容' || i FROM n")
                 .arg(visits)
                 .arg(cards));
    // A copy of the file holds every card only once the write-ahead log is folded in.
    sql.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// The register of the given number of cards in a program folder: a copy of the file named by
// ORVANE_BENCH_DB_<cards> (one generated before, to spare the minutes a million cards take),
// or generated here, and then kept under that name when one is given.
inline void placeCards(const QString& folder, int cards) {
    const QString path = folder + QStringLiteral("Data/db.edb");
    const QString prepared =
        qEnvironmentVariable(("ORVANE_BENCH_DB_" + std::to_string(cards)).c_str());
    if (!prepared.isEmpty() && QFile::exists(prepared)) {
        QFile::remove(path);
        QFile::copy(prepared, path);
        return;
    }
    {
        DirectSql sql(cardConnectionString(folder));
        generateCards(sql, cards, 3 * cards);
    }
    if (!prepared.isEmpty()) {
        QFile::copy(path, prepared);
    }
}

// The cards of the file benchmarks, generated on the server.
inline void generateServerCards(ScratchServerDatabase& db, int cards, int visits) {
    db.run(generatedCardsInsert(QStringLiteral("format('%s-%s-%s', 2000 + i % 9, "
                                               "lpad((1 + i % 12)::text, 2, '0'), "
                                               "lpad((1 + i % 28)::text, 2, '0'))"),
                                true) +
           QStringLiteral("FROM generate_series(1, %1) AS i").arg(cards));
    db.run(QStringLiteral(
               "INSERT INTO DList (DID, LDate, LType, LMemo) SELECT 1 + (i::bigint * 7919) % "
               "%2, '2006-01-02', '电话', '拜访内容' || i FROM generate_series(1, %1) "
               "AS i")
               .arg(visits)
               .arg(cards));
    db.run(QStringLiteral("VACUUM ANALYZE"));
}
