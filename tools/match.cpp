// tarvo-match: plays two UCI engines against each other, cutechess-cli style.
//
//   tarvo-match -engine cmd=build/tarvo name=new -engine cmd=../old/build/tarvo name=old
//               -each tc=8+0.08 -openings file=tools/books/openings.epd order=random
//               -games 2 -rounds 5000 -repeat -concurrency 2 -sprt elo0=0 elo1=5
//               -pgnout games.pgn
//
// Engine settings (-engine, or -each for both): cmd=, name=, dir=, option.NAME=VALUE,
// tc=BASE+INC (seconds), st=SECONDS, nodes=N, depth=N, ponder.
// Match settings: -games N, -rounds N, -repeat, -openings file=F [format=epd]
// [order=random|sequential] [start=K], -srand S, -concurrency K, -sprt elo0=A
// elo1=B [alpha=0.05] [beta=0.05], -draw movenumber=N movecount=M score=CP,
// -resign movecount=M score=CP, -maxmoves N, -pgnout FILE, -log FILE,
// -ratinginterval N, -timemargin MS, -movetimeout MS, -quiet.
// Exit status 0 when the match was played, 1 when an engine could not be
// started, 2 for refused arguments.
#include "tools/match/match.h"

#include <cstdio>

#include "board/board.h"
#include "tools/common/args.h"

int main(int argc, char** argv) {
  InitBoardTables();
  match::MatchSetup setup;
  if (argc < 2 || !match::ParseMatchArgs(argc, argv, &setup)) {
    std::fprintf(
        stderr,
        "usage: tarvo-match -engine cmd=PATH [name=N] [dir=D] [option.X=V] [tc=B+I|st=S|nodes=N|depth=N] "
        "[ponder] -engine ... [-each ...]\n"
        "       [-games N] [-rounds N] [-repeat] [-openings file=F [order=random] [start=K]] [-srand S]\n"
        "       [-concurrency K] [-sprt elo0=A elo1=B [alpha=P] [beta=P]] [-draw movenumber=N movecount=M "
        "score=CP]\n"
        "       [-resign movecount=M score=CP] [-maxmoves N] [-pgnout FILE] [-log FILE] "
        "[-ratinginterval N]\n"
        "       [-timemargin MS] [-movetimeout MS] [-quiet]\n");
    return BadArgumentsStatus;
  }
  const match::MatchReport report = match::RunMatch(setup, stdout);
  if (!report.started) return 1;
  match::PrintSummary(setup, report, stdout);
  return 0;
}
