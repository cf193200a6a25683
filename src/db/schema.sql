-- The card database as delivered: six tables and the rows of the lookup and defaults tables.
-- Texts compare without regard to the letter case of Latin letters, as names are matched
-- elsewhere in the program. Keys grow with each insert and are never reused.

CREATE TABLE D_B (
    ID      INTEGER PRIMARY KEY AUTOINCREMENT,
    theDate TEXT COLLATE NOCASE,
    theType TEXT COLLATE NOCASE,
    BName   TEXT COLLATE NOCASE,
    BSex    TEXT COLLATE NOCASE,
    BPho    TEXT COLLATE NOCASE,
    BMob    TEXT COLLATE NOCASE,
    BMail   TEXT COLLATE NOCASE,
    BQQ     TEXT COLLATE NOCASE,
    BMSN    TEXT COLLATE NOCASE,
    BWW     TEXT COLLATE NOCASE,
    BDes    TEXT COLLATE NOCASE,
    DArea   TEXT COLLATE NOCASE,
    DCity   TEXT COLLATE NOCASE,
    DName   TEXT COLLATE NOCASE,
    DPart   TEXT COLLATE NOCASE,
    DJob    TEXT COLLATE NOCASE,
    DAdd    TEXT COLLATE NOCASE,
    DPho    TEXT COLLATE NOCASE,
    DFax    TEXT COLLATE NOCASE,
    DPos    TEXT COLLATE NOCASE,
    DWWW    TEXT COLLATE NOCASE,
    FAdd    TEXT COLLATE NOCASE,
    FPho    TEXT COLLATE NOCASE,
    FPro    TEXT COLLATE NOCASE,
    FDes    TEXT COLLATE NOCASE,
    theDel  TEXT COLLATE NOCASE
);
-- The duplicate check of the editor and the import looks cards up by name first.
CREATE INDEX D_B_Duplicate ON D_B (BName, theType, BSex, theDel);

CREATE TABLE DList (
    ID    INTEGER PRIMARY KEY AUTOINCREMENT,
    DID   INTEGER,
    LDate TEXT COLLATE NOCASE,
    LType TEXT COLLATE NOCASE,
    LMemo TEXT COLLATE NOCASE
);
CREATE INDEX DList_Card ON DList (DID);

CREATE TABLE D_Type (theName TEXT COLLATE NOCASE);
CREATE TABLE D_Sex (theName TEXT COLLATE NOCASE);
CREATE TABLE D_P (theName TEXT COLLATE NOCASE);
CREATE TABLE D_Mr (
    theType TEXT COLLATE NOCASE,
    theSex  TEXT COLLATE NOCASE,
    theP    TEXT COLLATE NOCASE
);

INSERT INTO D_Type (theName) VALUES
    ('客户'), ('潜在客户'), ('供应商'), ('合作伙伴'), ('同事'), ('领导'), ('朋友'),
    ('同学'), ('家人'), ('亲戚'), ('政府机关'), ('媒体'), ('其他');

INSERT INTO D_Sex (theName) VALUES ('男'), ('女');

INSERT INTO D_P (theName) VALUES
    ('北京'), ('天津'), ('上海'), ('重庆'),
    ('河北'), ('山西'), ('辽宁'), ('吉林'), ('黑龙江'), ('江苏'), ('浙江'), ('安徽'),
    ('福建'), ('江西'), ('山东'), ('河南'), ('湖北'), ('湖南'), ('广东'), ('海南'),
    ('四川'), ('贵州'), ('云南'), ('陕西'), ('甘肃'), ('青海'), ('台湾'),
    ('内蒙古'), ('广西'), ('西藏'), ('宁夏'), ('新疆'),
    ('香港'), ('澳门');

INSERT INTO D_Mr (theType, theSex, theP) VALUES ('客户', '男', '北京');
