#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/app_store_pinning/tovin_record.h"
#include "store/database/qv_object_database.h"
#include "store/objects/qv_object.h"
#include "store/variants/qv_variants.h"
#include "support/gtest/sqlite_file.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

using DB = QVObjectDatabase;

std::string Text(const QVObject& object, const std::string& name) {
  const QVVariant* value = object.getProperty(name);
  return value ? value->toString() : "<absent>";
}

// A scratch directory that is also the log directory, and a database file path in it.
class ObjectDatabaseTest : public testing::Test {
 protected:
  std::wstring File(const wchar_t* name = L"objects.db") const { return dir_.path() + name; }
  std::vector<std::wstring> Log() const { return qvtest::TodaysLogMessages(dir_.path()); }

  qvtest::ScopedTempDir dir_;
  qvtest::ScopedTempEnv logEnv_{dir_.path()};
};

}  // namespace

TEST_F(ObjectDatabaseTest, OpenStatesAndEveryOperationWhenClosed) {
  DB db;
  EXPECT_EQ(db.open(File()), DB::kOpenFailed) << "open never creates";
  EXPECT_FALSE(db.isOpen());
  EXPECT_FALSE(qvtest::FileExists(File()));
  EXPECT_EQ(db.openOrCreate(dir_.path() + L"no such dir\\x.db"), DB::kCreateFailed);
  EXPECT_FALSE(db.isOpen());

  // Closed: nothing runs.
  QVObject object;
  object.addProperty("a", QVVariantType::String);
  std::vector<std::string> names;
  EXPECT_EQ(db.exec("CREATE TABLE t (a TEXT);"), DB::kNotOpen);
  EXPECT_EQ(db.createTableFromObjectProperties("t", &object), DB::kNotOpen);
  EXPECT_EQ(db.tableColumns("t", &names), DB::kNotOpen);
  EXPECT_EQ(db.selectFirst("t", &object, "", ""), DB::kNotOpen);
  EXPECT_FALSE(db.tableExists("t"));
  EXPECT_FALSE(db.columnExists("t", "a"));
  EXPECT_TRUE(Log().empty()) << "a closed database logs no statement";

  ASSERT_EQ(db.openOrCreate(File()), DB::kOk);
  EXPECT_TRUE(db.isOpen());
  EXPECT_TRUE(qvtest::FileExists(File()));
  EXPECT_EQ(db.open(File()), DB::kNotOpen) << "already open";
  EXPECT_EQ(db.openOrCreate(File()), DB::kNotOpen) << "already open";
  EXPECT_TRUE(db.isOpen()) << "a refused second open keeps the first connection";
  EXPECT_EQ(db.exec("CREATE TABLE t (a TEXT);"), DB::kOk);
  EXPECT_EQ(db.exec("CREATE TABLE t (a TEXT);"), DB::kExecFailed);
  EXPECT_EQ(db.exec("not sql"), DB::kExecFailed);

  EXPECT_EQ(db.close(), DB::kOk);
  EXPECT_FALSE(db.isOpen());
  EXPECT_EQ(db.close(), DB::kOk);
  EXPECT_EQ(db.open(File()), DB::kOk) << "reopening an existing file read-write";
  EXPECT_TRUE(db.tableExists("t"));
}

TEST_F(ObjectDatabaseTest, CreateTableStatementsAreLoggedBeforeTheyRun) {
  QVObject features;
  features.addProperty("id_or_folder", QVVariantType::String);
  features.addProperty("feature_list", QVVariantType::String);
  TovinRecord tovin;
  TovinStateRecord state;
  QVObject typed;  // every type code maps to its column type; ROWID is never a column
  typed.addProperty("b", QVVariantType::Bool);
  typed.addProperty("ROWID", QVVariantType::Int64);
  typed.addProperty("i64", QVVariantType::Int64);
  typed.addProperty("u8", QVVariantType::UInt8);
  typed.addProperty("p", QVVariantType::VoidP);
  typed.addProperty("d", QVVariantType::Double);
  typed.addProperty("w", QVVariantType::WString);
  typed.addProperty("rowid", QVVariantType::Int32);  // only "ROWID" exactly is skipped
  typed.addProperty("pt", QVVariantType::Point);
  typed.addProperty("l", QVVariantType::WStringList);
  QVObject onlyRowId;
  onlyRowId.addProperty("ROWID", QVVariantType::Int64);

  struct Case {
    const char* table;
    const QVObject* object;
    std::string statement;
    int32_t result;
  } cases[] = {
      {"features", &features, "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);",
       DB::kOk},
      {"tovines", &tovin,
       "CREATE TABLE tovines (tovin_id TEXT,hash TEXT,hashcheck TEXT,disabled TEXT,install_time "
       "INT,"
       "install_source TEXT,install_campaign TEXT);",
       DB::kOk},
      {"tovinstate", &state, "CREATE TABLE tovinstate (tovin_id TEXT,state_id TEXT,value TEXT);",
       DB::kOk},
      {"typed", &typed,
       "CREATE TABLE typed (b TEXT,i64 INT,u8 INT,p INT,d REAL,w TEXT,rowid INT,pt TEXT,l TEXT);",
       DB::kOk},
      {"empty", &onlyRowId, "CREATE TABLE empty ();", DB::kExecFailed},
      // An existing table: logged, then refused.
      {"features", &features, "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);",
       DB::kExecFailed},
  };

  DB db;
  ASSERT_EQ(db.openOrCreate(File()), DB::kOk);
  qvtest::SqliteFile check(File());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    const size_t logged = Log().size();
    const int32_t result = db.createTableFromObjectProperties(c.table, c.object);
    const auto log = Log();
    ASSERT_EQ(log.size(), logged + 1);
    EXPECT_EQ(qvtest::Utf8(log.back()),
              "QVObjectDatabase::createTableFromObjectProperties: " + c.statement);
    EXPECT_EQ(result, c.result);
  }
  EXPECT_EQ(check.columns("tovines"),
            (std::vector<std::string>{"tovin_id", "hash", "hashcheck", "disabled", "install_time",
                                      "install_source", "install_campaign"}));

  // No object, or one without properties: nothing runs, nothing is logged.
  const size_t logged = Log().size();
  QVObject bare;
  EXPECT_EQ(db.createTableFromObjectProperties("x", nullptr), DB::kNoObject);
  EXPECT_EQ(db.createTableFromObjectProperties("x", &bare), DB::kNoObject);
  EXPECT_EQ(Log().size(), logged);
  EXPECT_FALSE(db.tableExists("x"));
}

TEST_F(ObjectDatabaseTest, TablesAndColumns) {
  {
    qvtest::SqliteFile setup(File());
    ASSERT_TRUE(
        setup.exec("CREATE TABLE settings (id_or_folder TEXT, name TEXT, value TEXT);"
                   "CREATE VIEW settings_view AS SELECT name FROM settings;"));
  }
  DB db;
  ASSERT_EQ(db.open(File()), DB::kOk);

  struct TableCase {
    const char* table;
    bool exists;
  } tables[] = {
      {"settings", true},
      {"SETTINGS", false},
      {"settings_view", false} /* a view, not a table */,
      {"missing", false},
      {"set'tings", false} /* the quote breaks the statement: no table */,
      {"", false},
  };
  for (const auto& c : tables) EXPECT_EQ(db.tableExists(c.table), c.exists) << c.table;

  std::vector<std::string> names{"kept"};
  EXPECT_EQ(db.tableColumns("settings", &names), DB::kOk);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "id_or_folder", "name", "value"}))
      << "names are appended in column order";
  EXPECT_EQ(db.tableColumns("settings", nullptr), DB::kNoObject);
  names.clear();
  EXPECT_EQ(db.tableColumns("missing", &names), DB::kOk);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(db.tableColumns("settings x y", &names), DB::kNotOpen) << "does not prepare";

  struct ColumnCase {
    const char* table;
    const char* column;
    bool exists;
  } columns[] = {
      {"settings", "name", true},       {"settings", "type", false}, {"settings", "NAME", false},
      {"settings_view", "name", false}, {"missing", "name", false},  {"settings", "", false},
  };
  for (const auto& c : columns) {
    EXPECT_EQ(db.columnExists(c.table, c.column), c.exists) << c.table << "." << c.column;
  }
}

TEST_F(ObjectDatabaseTest, SelectFirstReadsOneRowByColumnName) {
  {
    qvtest::SqliteFile setup(File());
    ASSERT_TRUE(setup.exec(
        "CREATE TABLE features (id_or_folder TEXT, feature_list TEXT);"
        "INSERT INTO features VALUES ('b', '+second');"
        "INSERT INTO features VALUES ('a', NULL);"
        "INSERT INTO features VALUES ('a', '+third');"
        "CREATE TABLE own (rowid INT, name TEXT);"
        "INSERT INTO own VALUES (77, 'x');"
        "CREATE TABLE tovines (tovin_id TEXT, hash TEXT, hashcheck TEXT, disabled TEXT,"
        " install_time INT, install_source TEXT, install_campaign TEXT);"
        "INSERT INTO tovines VALUES ('app', 'h''1', NULL, 'TRUE', 1400000000, 'web', NULL);"
        "INSERT INTO tovines VALUES ('bad', 'h', 'c', 'no', 'soon', 's', 'c');"));
  }
  DB db;
  ASSERT_EQ(db.open(File()), DB::kOk);

  // The first row of the where and order: only its non-NULL cells arrive, as String properties.
  QVObject first;
  ASSERT_EQ(db.selectFirst("features", &first, "id_or_folder = 'a'", ""), DB::kOk);
  EXPECT_EQ(Text(first, "ROWID"), "2");
  EXPECT_EQ(Text(first, "id_or_folder"), "a");
  EXPECT_EQ(first.getProperty("feature_list"), nullptr) << "a NULL cell adds nothing";
  EXPECT_EQ(first.getProperty("ROWID")->type(), QVVariantType::String);

  QVObject ordered;
  ASSERT_EQ(db.selectFirst("features", &ordered, "", "feature_list DESC"), DB::kOk);
  EXPECT_EQ(Text(ordered, "feature_list"), "+third");

  // A NULL cell leaves an existing property as it was.
  QVObject kept;
  kept.addProperty("feature_list", QVVariantType::String);
  kept.setProperty("feature_list", QVVariantString("before"));
  ASSERT_EQ(db.selectFirst("features", &kept, "ROWID = 2", ""), DB::kOk);
  EXPECT_EQ(Text(kept, "feature_list"), "before");

  // A declared column "rowid" arrives as "ROWID".
  QVObject own;
  ASSERT_EQ(db.selectFirst("own", &own, "", ""), DB::kOk);
  EXPECT_EQ(Text(own, "ROWID"), "77");
  EXPECT_EQ(own.getProperty("rowid"), nullptr);

  // No row: 1, the object untouched. A missing table or a bad clause: 4. No object: 3.
  QVObject untouched;
  untouched.addProperty("id_or_folder", QVVariantType::String);
  untouched.setProperty("id_or_folder", QVVariantString("mine"));
  EXPECT_EQ(db.selectFirst("features", &untouched, "id_or_folder = 'none'", ""), DB::kNoRow);
  EXPECT_EQ(Text(untouched, "id_or_folder"), "mine");
  EXPECT_EQ(untouched.properties().count(), 1);
  EXPECT_EQ(db.selectFirst("missing", &untouched, "", ""), DB::kNotOpen);
  EXPECT_EQ(db.selectFirst("features", &untouched, "id_or_folder = 'it's'", ""), DB::kNotOpen);
  EXPECT_EQ(db.selectFirst("features", nullptr, "", ""), DB::kNoObject);
  EXPECT_EQ(Text(untouched, "id_or_folder"), "mine");

  // Typed record properties parse the cell text by their type and keep their type.
  TovinRecord app;
  ASSERT_EQ(db.selectFirst("tovines", &app, "tovin_id = 'app'", ""), DB::kOk);
  EXPECT_EQ(app.getProperty("ROWID")->type(), QVVariantType::Int64);
  EXPECT_EQ(static_cast<QVVariantInt64*>(app.getProperty("ROWID"))->value, 1);
  EXPECT_EQ(Text(app, "hash"), "h'1");
  EXPECT_EQ(Text(app, "hashcheck"), "");
  EXPECT_EQ(Text(app, "disabled"), "true");
  EXPECT_EQ(Text(app, "install_time"), "1400000000");
  EXPECT_EQ(Text(app, "install_campaign"), "");
  EXPECT_EQ(app.properties().count(), 8) << "no property added beside the record's own";

  // A cell that does not parse as its property's type leaves that property alone.
  TovinRecord bad;
  ASSERT_EQ(db.selectFirst("tovines", &bad, "tovin_id = 'bad'", ""), DB::kOk);
  EXPECT_EQ(Text(bad, "install_time"), "-1");
  EXPECT_EQ(Text(bad, "disabled"), "false");
  EXPECT_EQ(Text(bad, "install_source"), "s");
}

TEST_F(ObjectDatabaseTest, WideTextCellsFollowTheLocalizableMarker) {
  {
    qvtest::SqliteFile setup(File());
    ASSERT_TRUE(setup.exec("CREATE TABLE texts (k TEXT, title TEXT, items TEXT);"));
  }
  struct Case {
    std::string cell;
    bool localizable;
    std::wstring text;
    std::string list;  // the cell read into a wide list, printed back
    bool listLocalizable;
  } cases[] = {
      {"QVI18N:app_title", true, L"app_title", "app_title", true},
      {"QVI18N:", true, L"", "", true},
      // After the marker each byte is one character: no UTF-8 decoding.
      {"QVI18N:Z\xC3\xBCrich", true, L"Z\u00C3\u00BCrich", "Z\xC3\x83\xC2\xBCrich", true},
      {"Z\xC3\xBCrich", false, L"Z\u00FCrich", "Z\xC3\xBCrich", false},
      {"qvi18n:x", false, L"qvi18n:x", "qvi18n:x", false},
      {" QVI18N:x", false, L" QVI18N:x", " QVI18N:x", false},
      {"a,,b", false, L"a,,b", "a,,b", false},
      {"QVI18N:a,b", true, L"a,b", "a,b", true},
  };
  DB db;
  ASSERT_EQ(db.open(File()), DB::kOk);
  qvtest::SqliteFile setup(File());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cell);
    ASSERT_TRUE(setup.exec("DELETE FROM texts;"));
    ASSERT_TRUE(setup.exec("INSERT INTO texts VALUES ('k', " + qvtest::SqlText(c.cell) + ", " +
                           qvtest::SqlText(c.cell) + ");"));

    QVObject object;
    object.addProperty("title", QVVariantType::WString);
    object.addProperty("items", QVVariantType::WStringList);
    ASSERT_EQ(db.selectFirst("texts", &object, "", ""), DB::kOk);
    const auto* title = dynamic_cast<QVVariantWString*>(object.getProperty("title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text, c.text);
    EXPECT_EQ(dynamic_cast<QVVariantWStringI18N*>(object.getProperty("title")) != nullptr,
              c.localizable);
    EXPECT_EQ(Text(object, "items"), c.list);
    EXPECT_EQ(dynamic_cast<QVVariantWStringListI18N*>(object.getProperty("items")) != nullptr,
              c.listLocalizable);
  }
}

TEST_F(ObjectDatabaseTest, AFileThatIsNotADatabaseIsLeftAlone) {
  const std::string bytes = "this is a text file, not a database\r\n" + std::string(5000, 'x');
  qvtest::WriteFileBytes(File(), bytes);
  DB db;
  db.open(File());  // SQLite reads the header lazily: the open itself may succeed
  QVObject features;
  features.addProperty("id_or_folder", QVVariantType::String);
  std::vector<std::string> names;
  EXPECT_FALSE(db.tableExists("features"));
  EXPECT_FALSE(db.columnExists("features", "id_or_folder"));
  EXPECT_EQ(db.createTableFromObjectProperties("features", &features), DB::kExecFailed);
  EXPECT_EQ(db.tableColumns("features", &names), DB::kNotOpen);
  EXPECT_EQ(db.selectFirst("features", &features, "", ""), DB::kNotOpen);
  db.close();
  EXPECT_TRUE(qvtest::ReadFileBytes(File()) == bytes) << "the file was changed";
}
