#!/usr/bin/env python3
"""The audio engine under Wine, heard through ALSA's file plugin and measured
with sox: levels on the volume curve, silence, effects, every format of the
playlist dialog, our own decoders forced and fed damaged files, playlists
inside playlists, the built-in music when nothing plays, and Media
Foundation missing.

Each scenario runs audio_probe (tests/e2e/audio/audio_probe.cpp) through
tests/harness/wine_run.sh with a Wine prefix, X display, HOME, .asoundrc and
capture file of its own. Fixtures are made here with sox and ffmpeg.

    audio_capture_test.py --probe PROBE.exe --harness wine_run.sh [--only NAME...]
"""
import argparse
import array
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET
from pathlib import Path

ARGS = None
SILENT_DB = -60.0
# The harness's exit code for a 32-bit program where 32-bit programs cannot run.
SKIPPED = 77


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def db(value):
    return 20.0 * math.log10(value) if value > 0 else -300.0


def volume_db(percent):
    """The volume curve of main_program/audio/volume_curve.h."""
    top = 20.0 * math.log10(0.5)
    if percent <= 0:
        return -300.0
    above = top - 0.2 * (100 - max(percent, 10))
    return above if percent >= 10 else above + 20.0 * math.log10(percent / 10.0)


class Probe:
    """One run of audio_probe: its log lines and what it played."""

    def __init__(self, name, work, arguments, environment=None, program=None):
        self.capture = work / "capture.wav"
        if self.capture.exists():
            self.capture.unlink()
        env = dict(os.environ, SORVANE_AUDIO_CAPTURE=str(self.capture))
        env.update(environment or {})
        run = subprocess.run([ARGS.harness, f"audio-{name}", program or ARGS.probe, *arguments], env=env,
                             capture_output=True, text=True, timeout=240)
        self.output = run.stdout + run.stderr
        self.returncode = run.returncode
        if run.returncode == SKIPPED:
            raise unittest.SkipTest(run.stderr.strip())
        self.lines = []
        for line in run.stdout.splitlines():
            match = re.match(r"(START|ENTRY|ACTION [^=]*?|PLAYING|BEFORE|MOVED|END|GAVE-UP) (frame=.*)", line)
            if match:
                fields = dict(re.findall(r'(\w+)=("[^"]*"|\S+)', match.group(2)))
                fields = {k: v.strip('"') for k, v in fields.items()}
                fields["what"] = match.group(1).strip()
                self.lines.append(fields)

    def end(self):
        return next(line for line in reversed(self.lines) if line["what"] in ("END", "GAVE-UP"))

    def mark(self, what):
        """The seconds of audio played at a mark the program printed."""
        line = next(line for line in self.lines if line["what"] == what)
        return float(line["frame"]) / float(line["rate"])

    def entries(self):
        return [line for line in self.lines if line["what"] == "ENTRY"]

    def has_capture(self):
        return self.capture.exists() and self.capture.stat().st_size > 44

    def stats(self, start, duration):
        """sox's RMS and peak of the left channel over a stretch, in dBFS."""
        run = subprocess.run(["sox", "--ignore-length", str(self.capture), "-n", "remix", "1",
                              "trim", f"{start:.3f}", f"{duration:.3f}", "stat"],
                             capture_output=True, text=True)
        rms = float(re.search(r"RMS\s+amplitude:\s+(\S+)", run.stderr).group(1))
        peak = max(abs(float(re.search(r"Maximum amplitude:\s+(\S+)", run.stderr).group(1))),
                   abs(float(re.search(r"Minimum amplitude:\s+(\S+)", run.stderr).group(1))))
        return db(rms), db(peak)

    def length(self):
        run = subprocess.run(["soxi", "-D", str(self.capture)], capture_output=True, text=True)
        return float(run.stdout.strip() or 0)

    def samples(self):
        """The left channel as 16-bit samples, by sox, and its rate."""
        rate = int(subprocess.run(["soxi", "-r", str(self.capture)], capture_output=True, text=True).stdout)
        raw = subprocess.run(["sox", "--ignore-length", str(self.capture), "-t", "raw", "-e", "signed", "-b", "16",
                              "-c", "1", "-", "remix", "1"], capture_output=True).stdout
        values = array.array("h")
        values.frombytes(raw[: len(raw) // 2 * 2])
        return values, rate

    def tones(self, expected, window=0.1):
        """The tones heard, in order: each 100 ms window's frequency (by zero
        crossings) named by the nearest of `expected` within 25 Hz; silence
        and other sounds end a tone; a tone must hold for three windows."""
        samples, rate = self.samples()
        size = int(rate * window)
        heard = []
        run = (None, 0)
        for start in range(0, len(samples) - size, size):
            part = samples[start:start + size]
            rms = math.sqrt(sum(s * s for s in part) / size) / 32768.0
            name = None
            if db(rms) > -45.0:
                crossings = sum(1 for a, b in zip(part, part[1:]) if a < 0 <= b)
                frequency = crossings / window
                nearest = min(expected, key=lambda f: abs(f - frequency))
                name = nearest if abs(nearest - frequency) <= 25 else None
            run = (name, run[1] + 1) if name == run[0] else (name, 1)
            if name is not None and run[1] == 3 and (not heard or heard[-1] != name):
                heard.append(name)
        return heard


def tone(path, frequency, seconds=1.0, level=0.5, rate=48000):
    """A sine fixture; sox writes wav, flac, ogg and mp3, ffmpeg wma and aac."""
    path = Path(path)
    if path.suffix in (".wav", ".flac", ".ogg", ".mp3"):
        subprocess.run(["sox", "-n", "-r", str(rate), "-c", "2", str(path), "synth", str(seconds), "sine",
                        str(frequency), "vol", str(level)], check=True)
        return
    wav = path.with_suffix(".source.wav")
    tone(wav, frequency, seconds, level, rate)
    codec = {".wma": ["-c:a", "wmav2"], ".aac": ["-c:a", "aac", "-f", "adts"], ".m4a": ["-c:a", "aac"]}[path.suffix]
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", str(wav), *codec, str(path)], check=True)
    wav.unlink()


def midi_song(path):
    """One note for a second: a MIDI file for a synthesiser Wine does not have here."""
    track = bytes([0x00, 0xC0, 0x00, 0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00])
    Path(path).write_bytes(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + b"MTrk" + struct.pack(">I", len(track)) + track)


def damaged(path, magic):
    """The right start of a file of its kind, then noise."""
    noise = random.Random(path.name).randbytes(20000)
    Path(path).write_bytes(magic + noise)


class AudioCapture(unittest.TestCase):
    def setUp(self):
        name = self.id().split(".")[-1].removeprefix("test_")
        self.name = name
        self.work = Path(ARGS.work) / name
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir(parents=True)

    def assertPlaysInOrder(self, heard, expected, output):
        """The list plays in its order and loops: the tones heard are the
        expected ones, from the first, as often around as time allowed."""
        looped = (expected * (len(heard) // len(expected) + 1))[: len(heard)]
        self.assertTrue(len(heard) >= len(expected) and heard == looped,
                        f"heard {heard}, expected {expected} over and over\n{output}")

    def probe(self, arguments, playlist=None, environment=None):
        if playlist is not None:
            listing = self.work / "playlist.txt"
            listing.write_text("".join(windows_path(p) + "\n" if isinstance(p, Path) else p + "\n" for p in playlist),
                               encoding="utf-8")
            arguments = ["--set", "UsePlaylist=1", "--set", "ShufflePlayList=0", "--playlist",
                         windows_path(listing), *arguments]
        probe = Probe(self.name, self.work, arguments, environment)
        self.assertEqual(probe.returncode, 0, probe.output)
        return probe

    def test_levels_follow_the_volume_curve(self):
        # A steady sine at half of full scale, effects off; code 1 to 100 halfway.
        sine = self.work / "sine.wav"
        tone(sine, 1000, seconds=30)
        probe = self.probe(["--set", "MusicVolumePercentage=15", "--set", "DisableSound=1",
                            "--at", "3", "music-volume", "100", "--play", "6"], playlist=[sine])
        sine_rms = db(0.5 / math.sqrt(2.0))
        changed = next(float(l["frame"]) / float(l["rate"]) for l in probe.lines if l["what"].startswith("ACTION"))
        for start, volume in ((1.2, 15), (changed + 0.8, 100)):
            rms, _ = probe.stats(start, 1.5)
            self.assertAlmostEqual(rms, sine_rms + volume_db(volume), delta=1.0,
                                   msg=f"music at {volume}: {rms:.2f} dBFS at {start:.2f} s\n{probe.output}")

    def test_music_and_effects_off_are_silent(self):
        probe = self.probe(["--set", "DisableMusic=1", "--set", "DisableSound=1", "--at", "0.5", "effect", "star",
                            "--wait", "3"])
        self.assertEqual(probe.end()["device"], "0", "the device is held with nothing to play\n" + probe.output)
        if probe.has_capture():
            _, peak = probe.stats(0, probe.length())
            self.assertLess(peak, SILENT_DB)

    def test_effects_sound_when_the_scene_asks(self):
        probe = self.probe(["--set", "DisableMusic=1", "--at", "1.5", "effect", "star", "--at", "2.5", "effect",
                            "ripple", "--play", "4"])
        self.assertEqual(probe.end()["effects"], "2", probe.output)
        _, before = probe.stats(0.2, 1.0)
        _, during = probe.stats(1.5, 2.0)
        self.assertLess(before, SILENT_DB, "sound before any effect")
        self.assertGreater(during, -30.0, "the effects are not heard")

    def test_every_format_plays_and_midi_is_skipped(self):
        files = {".mp3": 330, ".wma": 440, ".mid": None, ".aac": 550, ".m4a": 660, ".ogg": 770, ".flac": 880,
                 ".wav": 990}
        playlist = []
        for extension, frequency in files.items():
            path = self.work / f"tone{extension}"
            midi_song(path) if frequency is None else tone(path, frequency)
            playlist.append(path)
        probe = self.probe(["--set", "DisableSound=1", "--set", "MusicVolumePercentage=100", "--entries", "7",
                            "--play", "9"], playlist=playlist)
        expected = [f for f in files.values() if f]
        self.assertPlaysInOrder(probe.tones(expected), expected, probe.output)
        self.assertGreaterEqual(int(probe.end()["skipped"]), 1, "the MIDI entry is not skipped\n" + probe.output)
        self.assertFalse([e for e in probe.entries() if e["entry"].endswith(".mid")], probe.output)

    def test_our_decoders_skip_damaged_files_and_play_the_next(self):
        # Windows 7: FLAC is ours as well as Ogg Vorbis.
        damaged(self.work / "damaged.ogg", b"OggS")
        tone(self.work / "good.ogg", 500)
        damaged(self.work / "damaged.flac", b"fLaC")
        tone(self.work / "good.flac", 700, rate=44100)
        playlist = [self.work / n for n in ("damaged.ogg", "good.ogg", "damaged.flac", "good.flac")]
        probe = self.probe(["--set", "DisableSound=1", "--set", "MusicVolumePercentage=100", "--entries", "2",
                            "--play", "3.5"], playlist=playlist, environment={"SORVANE_TEST_WINDOWS_VERSION": "6.1"})
        self.assertPlaysInOrder(probe.tones([500, 700]), [500, 700], probe.output)
        decoders = {Path(e["entry"].replace("\\", "/")).name: e["decoder"] for e in probe.entries()}
        self.assertEqual(decoders.get("good.ogg"), "Vorbis", probe.output)
        self.assertEqual(decoders.get("good.flac"), "FLAC", probe.output)
        self.assertFalse([e for e in probe.entries() if "\\damaged." in e["entry"]], probe.output)
        self.assertGreaterEqual(int(probe.end()["skipped"]), 2, probe.output)

    def test_playlists_inside_the_playlist_play_their_contents(self):
        lists = self.work / "lists"
        (lists / "sub").mkdir(parents=True)
        tone(lists / "a.wav", 400)
        tone(lists / "b.wav", 500)
        tone(lists / "sub" / "\u00fcn\u00efcode.wav", 600)
        (lists / "Upper.M3U").write_text("#EXTM3U\n#EXTINF:1,A\r\na.wav\r\n", encoding="ascii")
        (lists / "list.pls").write_text("[playlist]\nFile1=b.wav\nTitle1=B\nNumberOfEntries=1\n", encoding="ascii")
        (lists / "outer.m3u").write_text("http://example.com/stream.mp3\nsub\\nested.m3u\n", encoding="ascii")
        (lists / "sub" / "nested.m3u").write_bytes("\ufeff\u00fcn\u00efcode.wav\n".encode("utf-8"))
        probe = self.probe(["--set", "DisableSound=1", "--set", "MusicVolumePercentage=100", "--entries", "3",
                            "--play", "4"], playlist=[lists / "Upper.M3U", lists / "list.pls", lists / "outer.m3u"])
        self.assertPlaysInOrder(probe.tones([400, 500, 600]), [400, 500, 600], probe.output)
        self.assertEqual(probe.end()["skipped"], "0", probe.output)

    def test_the_built_in_music_plays_when_no_entry_does(self):
        probe = self.probe(["--set", "DisableSound=1", "--set", "MusicVolumePercentage=100", "--play", "4"],
                           playlist=["C:\\missing\\a.mp3", "C:\\missing\\b.ogg"])
        self.assertEqual(probe.end()["music"], "built-in", probe.output)
        self.assertEqual(probe.end()["skipped"], "2", probe.output)
        rms, peak = probe.stats(2.0, 2.0)
        self.assertGreater(rms, -50.0, "the built-in music is not heard")
        self.assertLess(peak, db(0.5 * 0.88) + 0.5, "louder than the built-in music's bound")

    def run_main_program(self, test, environment=None):
        """One scenario of tests/e2e/main_program_audio_test.cpp: the real
        main program, started by the e2e tests' driver."""
        env = {"SORVANE_RESULTS": ""}
        env.update(environment or {})
        probe = Probe(self.name, self.work, [f"--gtest_filter=MainProgramAudio.{test}"], env, program=ARGS.e2e)
        self.assertEqual(probe.returncode, 0, probe.output)
        self.assertIn("[  PASSED  ] 1 test", probe.output, "skipped or not run\n" + probe.output)
        return probe

    def test_the_screensaver_plays_its_music(self):
        probe = self.run_main_program("TheScreensaverPlaysItsMusicAndLetsTheDeviceGoWhileTheDisplayIsOff")
        # The display off let the device go: the capture holds what played since it came back.
        rms, peak = probe.stats(0.3, min(probe.length() - 0.3, 0.8))
        self.assertGreater(rms, -60.0, "the built-in music is not heard\n" + probe.output)
        self.assertLess(peak, db(0.88) + volume_db(15) + 0.5, "louder than the built-in music's bound at 15")

    def test_a_trackbar_move_in_the_settings_dialog_changes_the_wallpapers_level(self):
        sine = self.work / "sine.wav"
        tone(sine, 1000, seconds=60)
        probe = self.run_main_program("ATrackbarMoveInTheSettingsDialogChangesTheWallpapersLevel",
                                      {"SORVANE_TEST_AUDIO_TONE": windows_path(sine)})
        playing, before = probe.mark("PLAYING"), probe.mark("BEFORE")
        moved, end = probe.mark("MOVED"), probe.mark("END")
        sine_rms = db(0.5 / math.sqrt(2.0))
        # From past the half-second crossing into the tone, and past the ramp to 100.
        for start, stop, volume in ((playing + 0.75, before, 15), (moved + 0.5, end - 0.2, 100)):
            rms, _ = probe.stats(start, stop - start)
            self.assertAlmostEqual(rms, sine_rms + volume_db(volume), delta=1.0,
                                   msg=f"music at {volume}: {rms:.2f} dBFS from {start:.2f} s\n{probe.output}")

    def test_without_media_foundation_only_its_formats_are_skipped(self):
        tone(self.work / "a.mp3", 330)
        tone(self.work / "b.flac", 880)
        tone(self.work / "c.ogg", 770)
        probe = self.probe(["--set", "DisableSound=1", "--set", "MusicVolumePercentage=100", "--entries", "2",
                            "--play", "2.5"], playlist=[self.work / n for n in ("a.mp3", "b.flac", "c.ogg")],
                           environment={"SORVANE_DLL_OVERRIDES": "mfplat=", "SORVANE_TEST_WINDOWS_VERSION": "10.0"})
        self.assertPlaysInOrder(probe.tones([330, 880, 770]), [880, 770], probe.output)
        decoders = [e["decoder"] for e in probe.entries()]
        self.assertEqual(decoders[:2], ["FLAC", "Vorbis"], probe.output)


def write_results(ids, result):
    """GoogleTest-like XML results for the summary of scripts/test.sh."""
    folder = os.environ.get("SORVANE_RESULTS")
    if not folder:
        return
    problems = {test.id(): text for test, text in result.failures + result.errors}
    skipped = {test.id() for test, _ in result.skipped}
    root = ET.Element("testsuites", name="e2e.audio")
    cases = ET.SubElement(root, "testsuite", name="AudioCapture")
    for test in ids:
        case = ET.SubElement(cases, "testcase", name=test.split(".")[-1], classname="AudioCapture")
        if test in skipped:
            ET.SubElement(case, "skipped")
        elif test in problems:
            ET.SubElement(case, "failure", message=problems[test][:2000])
    ET.ElementTree(root).write(Path(folder) / f"audio-capture-{Path(ARGS.probe).parent.parent.parent.name}.xml")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--harness", required=True)
    parser.add_argument("--e2e", help="the end-to-end tests (e2e_tests.exe), for the main program's scenarios")
    parser.add_argument("--work", help="folder for fixtures and captures (default: beside the probe)")
    parser.add_argument("--only", nargs="*", default=[], help="scenarios by name")
    ARGS, rest = parser.parse_known_args()
    ARGS.probe = str(Path(ARGS.probe).resolve())
    ARGS.e2e = str(Path(ARGS.e2e).resolve()) if ARGS.e2e else None
    ARGS.work = ARGS.work or str(Path(ARGS.probe).parent / "audio-capture")
    suite = unittest.TestLoader().loadTestsFromTestCase(AudioCapture)
    if ARGS.only:
        suite = unittest.TestSuite(t for t in suite if any(o in t.id() for o in ARGS.only))
    ids = [test.id() for test in suite]  # the suite lets go of its tests as they run
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    write_results(ids, result)
    if result.wasSuccessful() and result.testsRun > 0 and len(result.skipped) == result.testsRun:
        sys.exit(SKIPPED)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
