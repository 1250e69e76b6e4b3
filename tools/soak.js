#!/usr/bin/env node
'use strict';
// Long game runs that count faults, not Elo: Tarvo against itself or another
// engine at a clock, some games with Tarvo pondering. Prints a running line of
// games, crashes, illegal moves, time losses and stalls after every game.
// Engine processes, rules and clock come from the match kit (its lib/ and its
// chess.js); the kit has no pondering, so ponder games are played here.
// Started by tools/soak.sh, which prepares the kit; see there for the options.

const fs = require('fs');
const path = require('path');

function parseArgs(argv) {
  const flags = {};
  for (let i = 0; i < argv.length; i++) {
    if (!argv[i].startsWith('--')) throw new Error(`unexpected argument ${argv[i]}`);
    flags[argv[i].slice(2)] = argv[++i];
  }
  return flags;
}

const flags = parseArgs(process.argv.slice(2));
const kit = path.resolve(flags.kit);
const { UciEngine, EngineError, parseInfo, nowMs } = require(path.join(kit, 'lib/uci.js'));
const { playGame, parseTc, ruleResult, repKey } = require(path.join(kit, 'lib/game.js'));
const { loadOpenings } = require(path.join(kit, 'lib/pgn.js'));
const { Chess } = require(path.join(kit, 'node_modules/chess.js'));

const games = Number(flags.games || 10);
// Parallel runs start at different games, so that they play other openings.
const firstGame = Number(flags['first-game'] || 0);
const tc = parseTc(flags.tc || '1+0.01');
const ponderShare = Number(flags['ponder-share'] || 0);
const marginMs = Number(flags.timemargin || 100);
const stopGraceMs = Number(flags['stop-grace'] || 1000);
const maxPlies = 2 * Number(flags.maxmoves || 200);
const openings = loadOpenings(flags.openings || path.join(kit, 'openings.epd'));
const logFd = flags.log ? fs.openSync(flags.log, 'w') : null;
const t0 = Date.now();
const log = logFd === null ? null : (name, dir, line) =>
  fs.writeSync(logFd, `${(Date.now() - t0).toString().padStart(8)} ${name}#1 ${dir} ${line}\n`);

const tarvoSetup = { name: 'tarvo', cmd: JSON.stringify(path.resolve(flags.engine)), dir: flags['engine-dir'], options: { Hash: 16 } };
let opponentSetup;
if (!flags.opponent || flags.opponent === 'tarvo') {
  opponentSetup = { ...tarvoSetup, name: 'tarvo2', options: { Hash: 16 } };
} else {
  opponentSetup = { name: path.basename(flags.opponent), cmd: flags.opponent, options: { Hash: 16 } };
}
// The pondering Tarvo is a process of its own, so that the option never changes mid-run.
const ponderSetup = { ...tarvoSetup, name: 'tarvo', options: { Hash: 16, Ponder: 'true' } };
const engines = {};
async function engine(definition, key) {
  let e = engines[key];
  if (!e) e = engines[key] = new UciEngine(definition, { log, startTimeoutMs: 10000 });
  if (!e.alive) await e.start();
  return e;
}

const faults = { crash: 0, illegal: 0, time: 0, stall: 0, early: 0 };
let worstStopMs = 0;
let played = 0;

// One game with the ponderer on `ponderSide`: after each of its moves it
// ponders on its predicted reply ("go ponder"); a right guess is answered with
// "ponderhit", a wrong one with "stop" (whose bestmove is dropped) and a fresh search.
async function playPonderGame(ponderer, other, ponderSide, fen) {
  const state = { pondering: null };
  const game = await ponderGameMoves(ponderer, other, ponderSide, fen, state);
  // A game that ended on the opponent's move leaves a ponder search running.
  if (state.pondering && ponderer.alive) {
    ponderer.listeners.delete(state.pondering.watcher);
    ponderer.send('stop');
    const start = nowMs();
    try {
      const { t } = await ponderer.waitFor((l) => /^bestmove(\s|$)/.test(l), stopGraceMs, 'bestmove after stop');
      worstStopMs = Math.max(worstStopMs, t - start);
    } catch (e) {
      ponderer.kill();
      if (!game.forfeit) return { ...game, forfeit: { side: ponderSide, kind: 'stall' }, reason: `${game.reason}; no bestmove after stop` };
    }
  }
  return game;
}

async function ponderGameMoves(ponderer, other, ponderSide, fen, state) {
  const chess = new Chess(fen);
  const clock = { w: tc.baseMs, b: tc.baseMs };
  const reps = new Map([[repKey(chess.fen()), 1]]);
  const moves = [];
  const finish = (result, reason, forfeit = null) => ({ result, reason, forfeit });
  const forfeit = (side, kind, why) => finish(side === 'w' ? '0-1' : '1-0', `${side} ${why}`, { side, kind });
  const position = (list) => `position fen ${fen}${list.length ? ` moves ${list.join(' ')}` : ''}`;
  const goText = (extra) =>
    `go ${extra}wtime ${Math.max(1, Math.round(clock.w))} btime ${Math.max(1, Math.round(clock.b))} winc ${tc.incMs} binc ${tc.incMs}`;
  const bestmoveOf = (line) => line.trim().split(/\s+/);
  for (const e of [ponderer, other]) await e.newGame();

  for (;;) {
    const side = chess.turn();
    const eng = side === ponderSide ? ponderer : other;
    const deadline = Math.max(1, clock[side] + marginMs);
    let words;
    let elapsed;
    try {
      if (eng === ponderer && state.pondering) {
        const { move, watcher, early } = state.pondering;
        ponderer.listeners.delete(watcher);
        state.pondering = null;
        if (early) return forfeit(side, 'early', 'sent bestmove while pondering');
        if (move === moves[moves.length - 1]) {
          ponderer.send('ponderhit');
          const start = nowMs();
          const { line, t } = await ponderer.waitFor((l) => /^bestmove(\s|$)/.test(l), deadline, 'bestmove after ponderhit');
          words = bestmoveOf(line);
          elapsed = t - start;
        } else {
          ponderer.send('stop');
          const start = nowMs();
          try {
            const { t } = await ponderer.waitFor((l) => /^bestmove(\s|$)/.test(l), stopGraceMs, 'bestmove after stop');
            worstStopMs = Math.max(worstStopMs, t - start);
          } catch (e) {
            if (e instanceof EngineError && e.kind === 'stall') return forfeit(side, 'stall', 'no bestmove after stop');
            throw e;
          }
        }
      }
      if (words === undefined) {
        const res = await eng.search(position(moves), goText(''), deadline);
        words = ['bestmove', res.bestmove, res.ponder === undefined ? undefined : 'ponder', res.ponder];
        elapsed = res.elapsedMs;
      }
    } catch (e) {
      if (!(e instanceof EngineError)) throw e;
      if (e.kind === 'stall') {
        await eng.recover(stopGraceMs);
        return forfeit(side, 'time', 'no move within clock + margin');
      }
      return forfeit(side, 'crash', e.message);
    }
    clock[side] -= elapsed;
    if (clock[side] < -marginMs) return forfeit(side, 'time', `${Math.round(-clock[side])} ms over`);
    clock[side] += tc.incMs;

    const legal = chess.moves({ verbose: true });
    const mv = legal.find((m) => m.lan === words[1]);
    if (!mv) return forfeit(side, 'illegal', `illegal move "${words[1]}"`);
    chess.move({ from: mv.from, to: mv.to, promotion: mv.promotion });
    moves.push(mv.lan);
    const n = (reps.get(repKey(chess.fen())) || 0) + 1;
    reps.set(repKey(chess.fen()), n);
    const end = ruleResult(chess, n);
    if (end) return finish(end.result, end.reason);
    if (moves.length >= maxPlies) return finish('1/2-1/2', 'move limit');

    // The ponderer just moved and named a legal reply: think on it.
    if (eng === ponderer && words[2] === 'ponder' && chess.moves({ verbose: true }).some((m) => m.lan === words[3])) {
      const ponder = { move: words[3], early: false };
      ponder.watcher = (line) => { if (line !== null && /^bestmove(\s|$)/.test(line)) ponder.early = true; };
      ponderer.listeners.add(ponder.watcher);
      ponderer.send(position([...moves, words[3]]));
      ponderer.send(goText('ponder '));
      state.pondering = ponder;
    }
  }
}

// The worst overshoot so far, from the traffic log (every few games: the log grows).
const overshootEvery = Number(flags['overshoot-every'] || 10);
let overshoot = 'n/a';
function updateOvershoot() {
  if (!flags.log) return;
  const script = path.join(__dirname, 'time_overshoot.py');
  const run = require('child_process').spawnSync('python3', [script, flags.log, '--engine', 'tarvo'], { encoding: 'utf8' });
  const m = /worst overshoot: (-?\d+) ms/.exec(run.stdout || '');
  if (m) overshoot = `${m[1]} ms`;
}

function statusLine() {
  return `games ${played}/${games}: crashes ${faults.crash}, illegal ${faults.illegal}, time losses ${faults.time}, ` +
    `stalls ${faults.stall}, early bestmoves ${faults.early}, slowest stop ${Math.round(worstStopMs)} ms, ` +
    `worst overshoot ${overshoot}`;
}

async function main() {
  console.log(`soak: tarvo vs ${opponentSetup.name}, ${games} games at ${tc.baseMs / 1000}+${tc.incMs / 1000}, ` +
    `pondering in ${Math.round(ponderShare * 100)}% of them`);
  const ponderEvery = ponderShare > 0 ? Math.max(1, Math.round(1 / ponderShare)) : 0;
  for (let g = 0; g < games; g++) {
    const fen = openings[Math.floor((firstGame + g) / 2) % openings.length];
    const tarvoWhite = g % 2 === 0;
    const ponder = ponderEvery > 0 && g % ponderEvery === ponderEvery - 1;
    let game;
    try {
      const a = await engine(ponder ? ponderSetup : tarvoSetup, ponder ? 'ponder' : 'plain');
      const b = await engine(opponentSetup, 'opponent');
      if (ponder) {
        game = await playPonderGame(a, b, tarvoWhite ? 'w' : 'b', fen);
      } else {
        game = await playGame({ white: tarvoWhite ? a : b, black: tarvoWhite ? b : a, fen,
          limits: { tc }, timeMarginMs: marginMs, adjudication: { maxMoves: maxPlies / 2 } });
      }
    } catch (e) {
      if (!(e instanceof EngineError)) throw e;
      game = { result: '*', reason: `failed to start: ${e.message}`, forfeit: { side: '?', kind: 'crash' } };
    }
    played++;
    if (game.forfeit) {
      const who = game.forfeit.side === '?' ? '?' : (game.forfeit.side === 'w') === tarvoWhite ? 'tarvo' : opponentSetup.name;
      // Another engine's faults are shown but not counted.
      if (who !== opponentSetup.name || opponentSetup.name.startsWith('tarvo')) faults[game.forfeit.kind]++;
      console.log(`game ${g + 1}: ${who} forfeits (${game.forfeit.kind}): ${game.reason} [opening ${fen}]`);
    }
    if (played % overshootEvery === 0 || played === games) updateOvershoot();
    console.log(`game ${g + 1}${ponder ? ' (ponder)' : ''}: ${game.result} ${game.reason} | ${statusLine()}`);
  }
  for (const e of Object.values(engines)) await e.quit();
  console.log(`soak done: ${statusLine()}`);
  const total = faults.crash + faults.illegal + faults.time + faults.stall + faults.early;
  return total === 0 ? 0 : 1;
}

main().then((rc) => process.exit(rc), (err) => { console.error(`soak: ${err.stack || err.message}`); process.exit(2); });
