#pragma once

#include "db/connection.h"

// A workbook opened as a data source: the connection string names the file in its
// "Data Source"; the statement "Select * from [Sheet1$]" reads the sheet Sheet1 of an .xls or
// .xlsx workbook, its first row giving the column names and every further row a result row,
// each cell as text. The connection counts as open from the first sheet read until close().
// The statement that reads the sheet Sheet1.
inline const QString SheetStatement = QStringLiteral("Select * from [Sheet1$]");

// The connection string of a workbook file.
QString workbookConnectionString(const QString& path);

class WorkbookConnection final : public Connection {
public:
    std::shared_ptr<ResultSet> select(const QString& sql) override;
    void execute(const QString& sql) override;
    bool connected() const override { return m_open; }
    void close() override { m_open = false; }

private:
    bool m_open = false;
};
