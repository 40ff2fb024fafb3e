// The SQL statements run by a real MariaDB server: a private one that ctest starts on a
// socket in the build folder (scripts/sql-server.sh), with a table and a procedure of these
// tests' own. pixmeta's output is piped into the mariadb client after SET @p=..., and the
// rows are read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/temp_dir.h"
#include "fixtures/text_photo.h"

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;

struct ClientResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class SqlServer : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string dir = PIXMETA_SQL_SERVER_DIR;
    const std::string missing = ReadBytes(dir + "/missing");
    if (!missing.empty()) GTEST_SKIP() << missing;
    if (::access((dir + "/socket").c_str(), F_OK) != 0) {
      GTEST_SKIP() << "no MariaDB test server at " << dir
                   << "/socket: run the tests through ctest, which starts it";
    }
    socket_ = dir + "/socket";
    // ctest runs each test in a process of its own, at the same time as others.
    database_ = "pixmeta_test_" + std::to_string(::getpid());
    const ClientResult made = Client("DROP DATABASE IF EXISTS " + database_ +
                                         "; CREATE DATABASE " + database_ + ";",
                                     false);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const ClientResult schema = Client(R"(
CREATE TABLE imgs (id INT AUTO_INCREMENT PRIMARY KEY, projid INT, nr VARCHAR(40),
  dat VARCHAR(19), signs TEXT, fnames TEXT, names TEXT, tags TEXT NOT NULL DEFAULT '',
  copy TEXT, title TEXT, ud INT DEFAULT 7, src VARCHAR(255), fp VARCHAR(255),
  feo VARCHAR(9), fel VARCHAR(9), feq VARCHAR(9), fes VARCHAR(9), fet VARCHAR(9),
  pxow INT, pxoh INT, pxlw INT, pxlh INT, pxqw INT, pxqh INT, pxsw INT, pxsh INT,
  pxtw INT, pxth INT);
DELIMITER //
CREATE PROCEDURE ImgsCheckUsersInTag(IN p INT, IN t TEXT, OUT s TEXT, OUT f TEXT, OUT n TEXT)
BEGIN
  SET s = concat('signs of ', p, ':', ifnull(t, 'none'));
  SET f = 'first';
  SET n = 'names';
END//
DELIMITER ;
)");
    ASSERT_EQ(schema.exitCode, 0) << schema.err;
  }

  void TearDown() override {
    if (!database_.empty()) Client("DROP DATABASE " + database_ + ";", false);
  }

  // Runs the statements in the test's database; the client stops at the first failing one.
  ClientResult Client(const std::string& statements, bool inDatabase = true) const {
    const std::string input = files_.Write("input.sql", statements);
    const std::string out = files_.path() + "out.txt";
    const std::string err = files_.path() + "err.txt";
    const std::string command = "mariadb --no-defaults --socket='" + socket_ +
                                "' -u root --batch --raw --skip-column-names " +
                                (inDatabase ? database_ : std::string()) + " < '" + input +
                                "' > '" + out + "' 2> '" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(out), ReadBytes(err)};
  }

  // The rows of a query, one line each, columns TAB-separated, texts as stored.
  std::vector<std::string> Rows(const std::string& query) const {
    const ClientResult r = Client(query);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return SplitLines(r.out);
  }

  // pixmeta's statements for the arguments, run for project 1.
  void RunPixmeta(const CliSandbox& box, const std::vector<std::string>& args) const {
    const CliResult r = box.Run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const ClientResult sql = Client("SET @p=1;\n" + r.out);
    EXPECT_EQ(sql.exitCode, 0) << sql.err << "\n" << r.out;
  }

  TempDir files_;
  std::string socket_;
  std::string database_;
};

TEST_F(SqlServer, ImageReportAndSizeUpdateFillTheRightRowsAndColumns) {
  ASSERT_EQ(Client(R"(
INSERT INTO imgs (projid, nr, dat, src, fp) VALUES
  (1, 'HARBOUR-7', '2011:07:14 21:42:05', 'harbour', '2011/'),
  (1, 'HARBOUR-8', '2011:07:14 21:42:06', 'harbour', 'x/'),
  (2, 'HARBOUR-7', '2011:07:14 21:42:05', 'harbour', '2011/'),
  (1, 'MEADOW', '2010:06:05 14:30:00', 'meadow', '');
)").exitCode, 0);
  CliSandbox box;
  const std::string harbour = box.dir().Write(
      "web/o/2011/harbour.jpg",
      TextPhoto({.make = "Canon", .model = "Canon PowerShot S95", .description = "Dusk",
                 .artist = "ANNA LIND", .date = "2011:07:14 21:42:05",
                 .iptc = IptcBuilder().Keywords({"boats", "evening"}).Payload()},
                64, 48));
  const std::string meadow = box.dir().Write(
      "web/meadow.jpg", TextPhoto({.description = "Grass", .date = "2010:06:05 14:30:00"}));
  RunPixmeta(box, {"--sqlimgs", harbour, meadow});
  RunPixmeta(box, {"--navsqlupdate", harbour, meadow});

  EXPECT_THAT(Rows("SELECT id, signs, fnames, names, tags, copy, title, ud, feo, pxow, pxoh "
                   "FROM imgs ORDER BY id;"),
              ElementsAre("1\tsigns of 1:boats,evening\tfirst\tnames\tboats,evening\t"
                          "Anna Lind, (CanonPowershotS95)\tDusk\t7\t.jpg\t64\t48",
                          "2\tNULL\tNULL\tNULL\t\tNULL\tNULL\t7\tNULL\tNULL\tNULL",
                          // The size update matches by name and folder, in every project.
                          "3\tNULL\tNULL\tNULL\t\tNULL\tNULL\t7\t.jpg\t64\t48",
                          // The procedure saw the empty tags of this file, not the last file's.
                          "4\tsigns of 1:\tfirst\tnames\t\tNULL\tGrass\t7\tNULL\tNULL\tNULL"));
}

TEST_F(SqlServer, QuotesBackslashesAndSemicolonsStayInsideTheirOwnRow) {
  ASSERT_EQ(Client(R"(
INSERT INTO imgs (projid, nr, dat, title) VALUES
  (1, 'HOSTILE', '2012:03:04 05:06:07', NULL),
  (1, 'OTHER', '2012:03:04 05:06:07', NULL);
)").exitCode, 0);
  CliSandbox box;
  const std::string iptc =
      IptcBuilder().Keywords({"#x\"y", "semi;colon", "it's", "end\\"}).Payload();
  const std::string photo = box.dir().Write(
      "web/o/hos\"t\\;ile.jpg",
      TextPhoto({.description = "He said \"hi\"; a\\b #1 \\",
                 .artist = "ANNA O'HARA;BACK\\SLASH \"Q\" \\",
                 .iptc = iptc}));
  box.dir().Write("web/o/other.jpg", TextPhoto({}));
  RunPixmeta(box, {"--sqlimgskeys", photo, box.dir().path() + "web/o/other.jpg"});
  // Double quotes become apostrophes; everything else arrives as it was.
  EXPECT_THAT(Rows("SELECT nr, signs, tags, copy, title FROM imgs ORDER BY id;"),
              ElementsAre("HOSTILE\tsigns of 1:#x'y,semi;colon,it's,end\\\t"
                          "#x'y,semi;colon,it's,end\\\t"
                          "Anna O'hara, back\\slash 'q' \\\t"
                          "He said 'hi', a\\b #1 \\",
                          "OTHER\tNULL\t\tNULL\tNULL"));
}

}  // namespace
}  // namespace pixmeta::test
