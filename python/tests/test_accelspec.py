# SPDX-License-Identifier: MIT
"""The module against the core and the command line: the same bits, the same messages.

Run by ctest (python_tests), which sets PYTHONPATH to the built package and names the data
folder, the reference program (the same computations through the C++ core, printed exactly) and
accelspec-cli.
"""
import os
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import accelspec

DATA = os.path.join(os.environ.get("ACCELSPEC_TEST_DATA", ""), "analysis", "data")
REFERENCE = os.environ.get("ACCELSPEC_PY_REFERENCE", "")
CLI = os.environ.get("ACCELSPEC_CLI", "")

H1 = os.path.join(DATA, "RSN8883_14383980_13849090.AT2")
H2 = os.path.join(DATA, "RSN8883_14383980_13849360.AT2")
H3 = os.path.join(DATA, "RSN8884_14383980_13873090.AT2")
EQSIG = os.path.join(DATA, "eqsig_test_motion_dt0p01.txt")

ALL = ("psa", "sa", "sv", "psv", "sd")


def reference(*args):
    """The core's numbers for the same computation, exactly (hexadecimal floats)."""
    out = subprocess.run([REFERENCE, *args], check=True, capture_output=True, text=True).stdout
    return out.split("\n")[:-1]


def floats(lines):
    return np.array([float.fromhex(v) for v in lines])


def same_bits(a, b):
    a, b = np.asarray(a, dtype=np.float64), np.asarray(b, dtype=np.float64)
    assert a.shape == b.shape
    assert a.tobytes() == b.tobytes()


def cli(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True)


@pytest.fixture(scope="module")
def h1():
    return accelspec.read_record(H1)


# --- Same bits as the core ------------------------------------------------------------------

@pytest.mark.parametrize("path, grid, dampings, quantities, peaks, threads", [
    (H1, "log:0.1:100:100", "0.02,0.05,0.1", "psa,sa,sv,psv,sd", "refined", 1),
    (H1, "nga", "0.05", "sd,psa", "samples", 2),
    (EQSIG, "srp", "0,0.05", "sa,psv", "refined", 2),
])
def test_spectra_are_the_cores_bits(path, grid, dampings, quantities, peaks, threads):
    rec = accelspec.read_record(path)
    d = tuple(float(x) for x in dampings.split(","))
    q = tuple(quantities.split(","))
    s = accelspec.spectra(rec.acc, rec.dt, grid=grid, dampings=d, quantities=q, peaks=peaks,
                          threads=threads)
    want = floats(reference("spectra", path, grid, dampings, quantities, peaks, str(threads)))
    same_bits(s.values.ravel(), want)
    assert list(s.keys()) == [(qq, dd) for dd in d for qq in q]
    same_bits(s[q[-1], d[-1]], s.values[-1, -1])


@pytest.mark.parametrize("options", [
    ["--grid", "nga", "--damping", "0.02,0.05", "--quantity", "sd,psa,sa"],
    ["--rotd", "100", "--grid", "srp", "--peaks", "samples"],
])
def test_the_table_is_the_commands(tmp_path, options):
    out = tmp_path / "s.csv"
    rotd = "--rotd" in options
    run = cli("spectra", H1, *([H2] if rotd else []), *options, "--csv", str(out))
    assert run.returncode == 0, run.stderr
    a = accelspec.read_record(H1)
    kw = dict(grid=options[options.index("--grid") + 1])
    if "--damping" in options:
        kw["dampings"] = [float(v) for v in options[options.index("--damping") + 1].split(",")]
    if "--quantity" in options:
        kw["quantities"] = options[options.index("--quantity") + 1].split(",")
    if "--peaks" in options:
        kw["peaks"] = options[options.index("--peaks") + 1]
    if rotd:
        s = accelspec.rotd(a.acc, accelspec.read_record(H2).acc, a.dt, percentile=100, **kw)
    else:
        s = accelspec.spectra(a.acc, a.dt, **kw)
    assert s.csv() == out.read_text()


def test_a_frequency_array_is_the_grid_of_the_same_frequencies(h1):
    by_text = accelspec.spectra(h1.acc, h1.dt, grid="srp", quantities=ALL)
    by_array = accelspec.spectra(h1.acc, h1.dt, grid=list(by_text.freqs), quantities=ALL)
    same_bits(by_array.values, by_text.values)
    assert len(by_text.freqs) == 75


def test_other_dtypes_and_layouts_are_converted_once(h1):
    want = accelspec.spectra(h1.acc, h1.dt).values
    strided = np.repeat(h1.acc, 2)[::2]  # not contiguous
    same_bits(accelspec.spectra(strided, h1.dt).values, want)
    same_bits(accelspec.spectra(list(h1.acc), h1.dt).values, want)
    as32 = h1.acc.astype(np.float32)
    same_bits(accelspec.spectra(as32, h1.dt).values,
              accelspec.spectra(as32.astype(np.float64), h1.dt).values)


@pytest.mark.parametrize("percentile", [50, 100])
def test_rotd_is_the_cores(percentile):
    a, b = accelspec.read_record(H1), accelspec.read_record(H2)
    s = accelspec.rotd(a.acc, b.acc, a.dt, grid="nga", dampings=(0.05, 0.1), quantities=ALL,
                       percentile=percentile, threads=2)
    want = floats(reference("rotd", H1, H2, "nga", "0.05,0.1", ",".join(ALL), "refined",
                            str(percentile)))
    same_bits(s.values.ravel(), want)


@pytest.mark.parametrize("path", [H3, EQSIG])
def test_measures_are_the_cores(path):
    rec = accelspec.read_record(path)
    m = accelspec.measures(rec.acc, rec.dt, threads=2)
    assert tuple(m) == accelspec.MEASURES
    same_bits([m[k] for k in accelspec.MEASURES], floats(reference("measures", path)))


def test_baseline_is_the_cores_and_leaves_the_input_alone(h1):
    before = h1.acc.copy()
    corrected = accelspec.baseline(h1.acc, h1.dt)
    same_bits(corrected, floats(reference("baseline", H1)))
    same_bits(h1.acc, before)
    d = accelspec.drift(corrected, h1.dt)
    assert abs(d["final_velocity"]) < 1e-9 and abs(d["final_displacement"]) < 1e-9


def test_check_gives_the_commands_text_csv_and_the_cores_table(tmp_path):
    recs = [accelspec.read_record(p) for p in (H1, H3)]
    res = accelspec.check(recs, "ec8:1:B:0.5", "ec8", t1=0.5)
    out = cli("check", H1, H3, "--target", "ec8:1:B:0.5", "--rule", "ec8", "--t1", "0.5",
              "--csv", str(tmp_path / "c.csv"))
    assert res.text == out.stdout
    assert res.csv == (tmp_path / "c.csv").read_text()
    assert out.returncode == (0 if res.passed else 3)
    ref = reference("check", "ec8:1:B:0.5", "ec8", "0.5", H1, H3)
    assert bool(int(ref[0])) == res.passed
    table = floats(ref[1:]).reshape(-1, 4)
    same_bits(res.table["frequency_hz"], table[:, 0])
    same_bits(res.table["target"], table[:, 1])
    same_bits(res.table["computed"], table[:, 2])
    same_bits(res.table["ratio"], table[:, 3])
    assert res.items and all(isinstance(i.passed, bool) for i in res.items)
    assert res.passed == all(i.passed for i in res.items)
    assert res.spectra.shape == (2, len(res.table))


def test_check_rb006_is_the_commands_with_its_information_item():
    recs = [accelspec.read_record(p) for p in (H1, H3)]
    res = accelspec.check(recs, "rg160:0.3*2/3", "rb006")
    out = cli("check", H1, H3, "--target", "rg160:0.3*2/3", "--rule", "rb006")
    assert res.text == out.stdout
    kinds = [(i.kind, i.information) for i in res.items]
    assert kinds == [("mean_peak", False), ("mean_ratio", True), ("mean_spectrum", False)]
    assert res.items[1].passed and repr(res.items[1]).startswith("<CheckItem INFO 5.3.2:")
    with pytest.raises(ValueError, match="правило rb006 не принимает t1, min_ratio"):
        accelspec.check(recs, "rg160:0.3", "rb006", t1=1)


def test_check_takes_arrays_with_their_step_as_records(h1):
    by_record = accelspec.check([h1], "rg160:0.3", "asce7", tmin=0.2, tmax=2)
    by_array = accelspec.check([(h1.acc, h1.dt)], "rg160:0.3", "asce7", tmin=0.2, tmax=2)
    same_bits(by_array.table["ratio"], by_record.table["ratio"])
    assert by_array.passed == by_record.passed


def test_match_is_the_cores_and_its_record_passes():
    seed = accelspec.read_record(EQSIG)
    res = accelspec.match("rg160:0.3", seed=seed, rule="srp", iterations=4, threads=2)
    ref = reference("match", "rg160:0.3", "srp", EQSIG, "4", "2")
    passed, iterations = (int(v) for v in ref[0].split())
    assert (res.passed, res.iterations) == (bool(passed), iterations)
    assert res.dt == float.fromhex(ref[1])
    same_bits(res.acc, floats(ref[2:]))
    if res.passed:
        assert res.check.passed
        again = accelspec.check([(res.acc, res.dt)], "rg160:0.3", "srp")
        assert again.passed


# --- Targets ----------------------------------------------------------------------------------

def test_targets_by_text_and_by_table():
    t = accelspec.target("ec8:1:B:2.943")
    # EN 1998-1 §3.2.2.2, type 1, ground B: S = 1.2, plateau 2.5·ag·S.
    assert t(1 / 0.3) == pytest.approx(2.5 * 2.943 * 1.2)
    assert t.zero_period == pytest.approx(2.943 * 1.2)
    assert t.kind == "ec8"
    values = t(np.array([[0.5, 1.0], [2.0, 5.0]]))
    assert values.shape == (2, 2) and values[1, 1] == t(5.0)
    table = accelspec.target([1.0, 10.0], [2.0, 4.0])
    assert table.kind == "file" and table(1.0) == 2.0 and table(100.0) == 4.0


# --- Errors -----------------------------------------------------------------------------------

def test_a_missing_file_is_an_oserror_and_bad_content_a_valueerror(tmp_path):
    missing = str(tmp_path / "none.AT2")
    with pytest.raises(OSError) as e:
        accelspec.read_record(missing)
    assert missing in str(e.value)
    bad = tmp_path / "bad.txt"
    bad.write_text("1\n2\nx\n")
    with pytest.raises(ValueError) as e:
        accelspec.read_record(str(bad), step=0.01)
    assert str(bad) in str(e.value)
    with pytest.raises(OSError):
        accelspec.read_record(str(tmp_path))  # a folder
    with pytest.raises(OSError):
        accelspec.target(str(tmp_path / "none.spv"))
    with pytest.raises(OSError):
        accelspec.spectra([1.0, 2.0], 0.01, grid="file:" + str(tmp_path / "none.txt"))


def test_the_messages_are_the_programs():
    acc = np.ones(100)
    cases = [
        (lambda: accelspec.spectra([1.0, np.nan, 2.0], 0.01),
         "в записи есть нечисловой отсчёт (NaN или INF)"),
        (lambda: accelspec.spectra(np.ones((10, 2)), 0.01), "acc: ожидается одномерный массив чисел"),
        (lambda: accelspec.spectra([], 0.01), "в записи нет ни одного отсчёта"),
        (lambda: accelspec.spectra(acc, 0.0), "dt: шаг по времени должен быть конечным и больше нуля"),
        (lambda: accelspec.spectra(acc, np.nan), "dt: шаг по времени должен быть конечным и больше нуля"),
        (lambda: accelspec.spectra(acc, 0.01, dampings=(1.0,)),
         "dampings: ожидается список долей критического затухания через запятую, каждая от 0 до 1 "
         "(не включая 1), без повторов"),
        (lambda: accelspec.spectra(acc, 0.01, dampings=(0.05, 0.05)), "без повторов"),
        (lambda: accelspec.spectra(acc, 0.01, quantities=("psa,sd",)), "quantities:"),
        (lambda: accelspec.spectra(acc, 0.01, quantities=("xx",)), "quantities:"),
        (lambda: accelspec.spectra(acc, 0.01, grid="log:1"), "неверная сетка «log:1»"),
        (lambda: accelspec.spectra(acc, 0.01, grid=[2.0, 1.0]), "строго возрастать"),
        (lambda: accelspec.spectra(acc, 0.01, grid=[1.0, np.inf]), "строго возрастать"),
        (lambda: accelspec.spectra(acc, 0.01, peaks="max"), "peaks: ожидается refined или samples"),
        (lambda: accelspec.spectra(acc, 0.01, threads=-1), "threads:"),
        (lambda: accelspec.rotd(acc, acc[:50], 0.01), "две компоненты пары"),
        (lambda: accelspec.rotd(acc, acc, 0.01, percentile=75), "percentile: ожидается 50 или 100"),
        (lambda: accelspec.measures(np.full(10, np.inf), 0.01), "нечисловой отсчёт"),
        (lambda: accelspec.baseline([1.0, np.nan, 1.0, 2.0], 0.01), "нечисловой отсчёт"),
        (lambda: accelspec.target("ec8:3:B:1"), "ec8:3:B:1"),
        (lambda: accelspec.target("ec8:1:B:1")(0.0), "частота цели"),
        (lambda: accelspec.check([(acc, 0.01)], "ec8:1:B:1", "ec8"),
         "t1: правило ec8 требует первый период T1 в с"),
        (lambda: accelspec.check([(acc, 0.01)], "ec8:1:B:1", "srp", t1=1), "правило srp не принимает"),
        (lambda: accelspec.check([(acc, 0.01)], "rg160:0.3", "srp", damping=0.02), "rg160"),
        (lambda: accelspec.check([(acc, 0.01)], "rg160:0.3", "nrc"), "rule: правило должно быть srp, ec8, asce7 или rb006"),
        (lambda: accelspec.check([], "rg160:0.3", "srp"), "records: не указаны записи"),
        (lambda: accelspec.check([(acc, "x")], "rg160:0.3", "srp"), "records: каждая запись"),
        (lambda: accelspec.check([acc], "rg160:0.3", "srp"), "records: каждая запись"),
        (lambda: accelspec.check([(acc, 0.01)], "rg160:0.3", "asce7", tmin=-1), "tmin:"),
        (lambda: accelspec.match("rg160:0.3", seed=acc), "dt: для массива seed нужен шаг"),
        (lambda: accelspec.match("rg160:0.3", iterations=0), "iterations:"),
    ]
    for call, message in cases:
        with pytest.raises(ValueError) as e:
            call()
        assert message in str(e.value), (message, str(e.value))


# --- Threads and interruption -----------------------------------------------------------------

def test_a_computation_lets_other_python_threads_run(h1):
    def call():
        accelspec.spectra(h1.acc, h1.dt, grid="log:0.1:100:400", dampings=(0.02, 0.05, 0.1),
                          quantities=ALL)

    start = time.perf_counter()
    call()
    single = time.perf_counter() - start
    ticks = []
    done = threading.Event()

    def work():
        for _ in range(3):
            call()
        done.set()

    t = threading.Thread(target=work)
    t.start()
    while not done.is_set():
        ticks.append(time.perf_counter())
        time.sleep(0.001)
    t.join()
    # With the GIL held the loop above would stall for a whole call at a time: a tick or two
    # between calls. The bounds leave room for a busy machine (ctest runs tests side by side).
    assert len(ticks) > 20, (single, len(ticks))
    assert max(np.diff(ticks)) < 0.9 * single, (single, max(np.diff(ticks)))


def test_two_threads_take_about_the_time_of_one(h1):
    def one():
        for _ in range(4):
            accelspec.spectra(h1.acc, h1.dt, dampings=(0.02, 0.05, 0.1), quantities=ALL)

    def timed(threads):
        start = time.perf_counter()
        ts = [threading.Thread(target=one) for _ in range(threads)]
        for t in ts:
            t.start()
        for t in ts:
            t.join()
        return time.perf_counter() - start

    # Two threads can only show their speed on two idle cores: on a machine busier than that
    # the figure says nothing (the previous test shows the GIL released either way).
    cores = os.cpu_count() or 1
    if cores < 2 or os.getloadavg()[0] > cores - 1:
        pytest.skip(f"needs two idle cores (load {os.getloadavg()[0]:.1f} on {cores})")
    single = min(timed(1) for _ in range(3))
    double = min(timed(2) for _ in range(3))
    assert double < 1.6 * single, (single, double)


def test_ctrl_c_and_a_failing_progress_stop_a_match():
    seed = accelspec.read_record(EQSIG)
    seen = []

    def interrupt(i, lo, hi):
        seen.append(i)
        os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt):
        accelspec.match("rg160:0.3", seed=seed, rule="srp", iterations=50, progress=interrupt)
    assert seen == [1]

    def fail(i, lo, hi):
        raise RuntimeError("stop here")

    with pytest.raises(RuntimeError, match="stop here"):
        accelspec.match("rg160:0.3", seed=seed, rule="srp", iterations=50, progress=fail)


def test_ctrl_c_stops_a_long_spectra_or_rotd_call(h1):
    import _thread

    # About a minute of work each at full speed; Ctrl+C after 0.3 s must end it within seconds.
    long = np.tile(h1.acc, 8)
    calls = [
        lambda: accelspec.spectra(long, h1.dt, grid="log:0.1:100:2000", dampings=(0.02, 0.05, 0.1),
                                  quantities=ALL, threads=1),
        lambda: accelspec.rotd(long, long, h1.dt, grid="log:0.1:100:2000",
                               dampings=(0.02, 0.05, 0.1), threads=1),
    ]
    for call in calls:
        timer = threading.Timer(0.3, _thread.interrupt_main)
        start = time.perf_counter()
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            call()
        timer.join()
        assert time.perf_counter() - start < 10


# --- Stubs and documentation ------------------------------------------------------------------

def test_the_stubs_name_everything_and_every_function_is_documented_in_both_languages():
    import ast
    import inspect
    import re
    stub = os.path.join(os.path.dirname(accelspec.__file__), "__init__.pyi")
    with open(stub, encoding="utf-8") as f:
        tree = ast.parse(f.read())
    declared = {n.name for n in tree.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    declared |= {t.id for n in tree.body if isinstance(n, ast.AnnAssign) for t in [n.target]}
    assert set(accelspec.__all__) <= declared, set(accelspec.__all__) - declared
    for name in accelspec.__all__:
        obj = getattr(accelspec, name)
        if inspect.isfunction(obj):
            stub_args = next(n for n in tree.body if getattr(n, "name", None) == name).args
            assert [a.arg for a in stub_args.args] == list(inspect.signature(obj).parameters)
        if inspect.isfunction(obj) or inspect.isclass(obj):
            doc = obj.__doc__ or ""
            assert re.search("[a-z]{3}", doc) and re.search("[а-я]{3}", doc), name
