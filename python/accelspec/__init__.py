# SPDX-License-Identifier: MIT
"""accelspec: response spectra, record reading, compatibility checks and spectral matching.

The functions run the same core as ``accelspec-cli`` and give the same numbers, bit for bit, with
the command line's names and SI units: accelerations in m/s², steps and periods in s, frequencies
in Hz, damping as a ratio of critical (0.05 = 5 %). Arrays are numpy float64; other arrays and
sequences are converted once. The GIL is released while the core computes, so threads of Python
callers run in parallel. Errors carry the program's own (Russian) messages: ``ValueError`` for a
bad value or a file whose content cannot be used, ``OSError`` for a file that cannot be opened.

accelspec: спектры отклика, чтение записей, проверка совместимости и подбор записей по спектру.
Функции вызывают то же ядро, что и ``accelspec-cli``, и дают те же числа до последнего бита;
имена и единицы — как в командной строке (СИ: м/с², с, Гц; затухание — доля критического).
Во время вычислений GIL отпущен. Ошибки несут сообщения программы: ``ValueError`` для неверных
значений и содержимого файлов, ``OSError`` для файла, который не открывается.

    >>> import accelspec
    >>> rec = accelspec.read_record("RSN8883_14383980_13849090.AT2")
    >>> s = accelspec.spectra(rec.acc, rec.dt, dampings=(0.02, 0.05))
    >>> s["psa", 0.05][:3], s.freqs[:3]
"""

from . import _core
from ._core import Record, Target

__all__ = [
    "Record", "Target", "Spectra", "CheckResult", "CheckItem", "MatchResult",
    "read_record", "spectra", "rotd", "measures", "target", "check", "baseline", "drift",
    "match", "DEFAULT_GRID", "QUANTITIES", "MEASURES",
]

#: The grid of ``accelspec-cli spectra`` without ``--grid``: 301 frequencies, 0.1–100 Hz.
DEFAULT_GRID = "log:0.1:100:100"
#: The spectrum quantities, as ``--quantity`` names them.
QUANTITIES = ("psa", "sa", "sv", "psv", "sd")
#: The keys of :func:`measures`, as the columns of ``accelspec-cli measures``.
MEASURES = ("pga", "pgv", "pgd", "arias", "d5_75", "d5_95", "cav", "cav_std", "housner_5")


def _tuple(value, kind):
    if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__"):
        return (kind(value),)
    return tuple(kind(v) for v in value)


class Spectra(dict):
    """Spectra of one run: ``s[quantity, damping]`` is an array over ``s.freqs``.

    Attributes: ``freqs`` (Hz, ascending), ``periods`` (s, as the grid defines them),
    ``dampings``, ``quantities`` (the request's orders) and ``values`` (an array indexed
    [damping, quantity, point]). Units: psa, sa m/s²; sv, psv m/s; sd m.

    Спектры одного расчёта: ``s[величина, затухание]`` — массив по частотам ``s.freqs``.
    """

    def __init__(self, freqs, periods, values, dampings, quantities):
        super().__init__()
        self.freqs, self.periods, self.values = freqs, periods, values
        self.dampings, self.quantities = dampings, quantities
        for d, damping in enumerate(dampings):
            for q, quantity in enumerate(quantities):
                self[quantity, damping] = values[d, q]

    def csv(self):
        """The table ``accelspec-cli spectra --csv`` writes for the same run, as text.

        Таблица CSV, которую для того же расчёта пишет ``accelspec-cli spectra --csv``.
        """
        return _core.spectra_csv(self.freqs, self.periods, self.dampings, self.quantities,
                                 self.values)

    def __repr__(self):
        return (f"<accelspec.Spectra {len(self.freqs)} frequencies, dampings {self.dampings}, "
                f"quantities {self.quantities}>")


def read_record(path, format=None, units=None, step=None, channel=1):
    """Read a record file (at2, knet, cosmos, eqsig, columns, aks, brl), as ``--format`` etc.

    ``format`` is found from the content unless given; ``units`` (g|gal|cm/s2|m/s2|mm/s2)
    overrides the file's; ``step`` (s) is required for a file of one column; ``channel``
    (1-based) picks a COSMOS channel. Returns a :class:`Record` with ``.acc`` (m/s², read-only
    array), ``.dt`` (s), ``.format`` and ``.meta`` (path, name, format, units, dt, samples and
    the warnings of what the reading assumed). Raises OSError for a file that cannot be opened,
    ValueError for one that cannot be read as a record.

    Читает запись из файла; параметры — как --format, --units, --step, --channel командной
    строки. Ускорения в м/с², шаг в с.
    """
    return _core.read_record(str(path), format, units, None if step is None else float(step),
                             int(channel))


def spectra(acc, dt, grid=DEFAULT_GRID, dampings=(0.05,), quantities=("psa",), peaks="refined",
            threads=1):
    """Response spectra of a record ``acc`` (m/s², step ``dt`` s), as ``accelspec-cli spectra``.

    ``grid``: a grid text as ``--grid`` takes it (log:FMIN:FMAX:N, periods:TMIN:TMAX:N,
    lin:FBEG:FEND:DF, srp, nga, file:PATH) or an array of frequencies in Hz, strictly
    ascending. ``dampings``: ratios of critical, 0 ≤ ζ < 1. ``quantities``: psa, sa, sv, psv,
    sd. ``peaks``: "refined" (sub-steps no longer than T/20) or "samples". ``threads``: threads
    computing oscillators (0: every core). Returns :class:`Spectra`.

    Спектры отклика записи (м/с², шаг dt с) на сетке grid (текст --grid или массив частот, Гц)
    для затуханий dampings и величин quantities; peaks — refined или samples.
    """
    d, q = _tuple(dampings, float), _tuple(quantities, str)
    f, t, v = _core.spectra(acc, float(dt), grid, d, q, str(peaks), int(threads))
    return Spectra(f, t, v, d, q)


def rotd(acc1, acc2, dt, grid=DEFAULT_GRID, dampings=(0.05,), quantities=("psa",),
         peaks="refined", percentile=50, threads=1):
    """RotD50 or RotD100 (``percentile``) of two horizontal components, as ``--rotd``.

    Both components have the step ``dt`` s and the same length. Other arguments and the
    result as :func:`spectra`.

    RotD50 или RotD100 двух горизонтальных компонент одной длины с шагом dt.
    """
    d, q = _tuple(dampings, float), _tuple(quantities, str)
    f, t, v = _core.rotd(acc1, acc2, float(dt), grid, d, q, str(peaks), int(percentile),
                         int(threads))
    return Spectra(f, t, v, d, q)


def measures(acc, dt, peaks="refined", threads=1):
    """The nine intensity measures of ``accelspec-cli measures``, SI units, as a dict.

    pga m/s², pgv m/s, pgd m, arias m/s, d5_75 and d5_95 s (NaN for a record with no energy),
    cav and cav_std m/s, housner_5 m (Housner's intensity with ``peaks``).

    Девять мер интенсивности записи (как у команды measures), единицы СИ.
    """
    return _core.measures(acc, float(dt), str(peaks), int(threads))


def target(spec, values=None, name="table"):
    """A target (design) spectrum of pseudo-acceleration, m/s², as ``--target`` takes it.

    ``spec``: a path to a *.spv file, "ec8:TYPE:GROUND:AG" (AG m/s²) or "rg160:PGA" (PGA in g);
    or an array of frequencies (Hz) with ``values`` (m/s²) beside it. The result is callable:
    ``t(freq, damping=0.05)`` for a number or an array; ``t.zero_period`` is its zero-period
    value.

    Целевой спектр: файл *.spv, ec8:ТИП:ГРУНТ:AG или rg160:PGA, либо частоты и значения.
    """
    if isinstance(spec, Target):
        return spec
    if values is not None:
        return _core.table_target(spec, values, str(name))
    return _core.target(str(spec))


class CheckItem:
    """One item of a rule: ``item`` (its words), ``record`` (empty for the whole set),
    ``detail`` (the value found, in words), ``passed``, ``kind`` and ``information`` (an item
    printed for information only, which never fails: rb006's 5.3.2).

    Один пункт правила с его вердиктом и найденным значением.
    """

    __slots__ = ("item", "record", "detail", "passed", "kind", "information")

    def __init__(self, item, record, detail, passed, kind, information=False):
        self.item, self.record, self.detail, self.passed, self.kind = (
            item, record, detail, passed, kind)
        self.information = information

    def __repr__(self):
        verdict = "INFO" if self.information else "PASS" if self.passed else "FAIL"
        who = f" [{self.record}]" if self.record else ""
        return f"<CheckItem {verdict}{who} {self.item}: {self.detail}>"


class CheckResult:
    """What :func:`check` found.

    ``passed``; ``items`` (:class:`CheckItem`); ``table``, a structured array of the check grid
    with fields frequency_hz, period_s, target, computed (the record's value or the records'
    mean, m/s²), ratio and judged; ``record_ratios`` [point, record]; ``spectra``
    [record, point] (m/s²); ``records`` (names); ``text`` (the command's table and verdict) and
    ``csv`` (its --csv file).

    Результат проверки: вердикт, пункты правила, таблица сетки проверки.
    """

    def __init__(self, d):
        import numpy as np
        self.passed = bool(d["passed"])
        self.rule, self.target, self.records = d["rule"], d["target"], list(d["records"])
        self.items = [CheckItem(**i) for i in d["items"]]
        n = len(d["frequency_hz"])
        table = np.empty(n, dtype=[("frequency_hz", "f8"), ("period_s", "f8"), ("target", "f8"),
                                   ("computed", "f8"), ("ratio", "f8"), ("judged", "?")])
        table["frequency_hz"], table["period_s"] = d["frequency_hz"], d["period_s"]
        table["target"], table["computed"] = d["target_value"], d["computed"]
        table["ratio"], table["judged"] = d["ratio"], d["judged"]
        self.table = table
        self.record_ratios, self.spectra = d["record_ratios"], d["spectra"]
        self.text, self.csv = d["text"], d["csv"]

    def __bool__(self):
        return self.passed

    def __repr__(self):
        return (f"<accelspec.CheckResult {self.rule} {'PASS' if self.passed else 'FAIL'}, "
                f"{len(self.records)} records, {len(self.items)} items>")


def _records(records):
    if isinstance(records, Record) or (
            isinstance(records, tuple) and len(records) in (2, 3)
            and isinstance(records[1], (int, float))):
        records = [records]
    return [r if isinstance(r, Record) else tuple(r) for r in records]


def check(records, target, rule, damping=0.05, quantity="psa", t1=None, tmin=None, tmax=None,
          fmin=None, fmax=None, min_ratio=None, peaks="refined", threads=0):
    """Check records against a target under a rule, as ``accelspec-cli check``.

    ``records``: :class:`Record` objects or ``(acc, dt[, name])`` pairs; ``target``: a
    :class:`Target` or its ``--target`` text; ``rule``: "srp", "ec8" (needs ``t1``), "asce7" or "rb006".
    The options are those of the command (``min_ratio`` is ``--min-ratio``; periods in s,
    frequencies in Hz). ``threads`` 0: every core, as the command. Returns :class:`CheckResult`.

    Проверка совместимости записей с целевым спектром по правилу srp, ec8, asce7 или rb006.
    """
    t = globals()["target"](target)
    opt = [None if v is None else float(v) for v in (t1, tmin, tmax, fmin, fmax, min_ratio)]
    return CheckResult(_core.check(_records(records), t, str(rule), float(damping), str(quantity),
                                   *opt, str(peaks), int(threads)))


def baseline(acc, dt):
    """The record with its baseline removed, as ``accelspec-cli baseline`` (a new array, m/s²).

    Запись с поправкой базовой линии: конечные скорость и смещение приводятся к нулю.
    """
    return _core.baseline(acc, float(dt))


def drift(acc, dt):
    """Final and peak velocity (m/s) and displacement (m) by trapezoid integration from rest.

    Конечные и наибольшие скорость и смещение записи (интегрирование от покоя).
    """
    return _core.drift(acc, float(dt))


class MatchResult:
    """What :func:`match` produced.

    ``acc`` (m/s²) and ``dt`` (s): the matched record (the closest one when ``passed`` is
    false); ``passed``, ``within_aim``; ``lowest_ratio``, ``highest_ratio``; ``peak`` (m/s²)
    against ``zero_period``; ``iterations``; ``character`` (for a seed: arias, d5_95_shift,
    displacement, edges, kept); ``check`` (the rule's :class:`CheckResult` when it passed).

    Результат подбора: запись, отношения к цели, вердикт правила.
    """

    def __init__(self, d):
        for k, v in d.items():
            setattr(self, k, v)
        self.check = None if d["check"] is None else CheckResult(d["check"])

    def __bool__(self):
        return bool(self.passed)

    def __repr__(self):
        return (f"<accelspec.MatchResult {'passed' if self.passed else 'failed'} after "
                f"{self.iterations} iterations, ratios {self.lowest_ratio:.4g}–"
                f"{self.highest_ratio:.4g}>")


def match(target, seed=None, dt=None, rule="srp", damping=0.05, quantity="psa", t1=None,
          tmin=None, tmax=None, fmin=None, fmax=None, min_ratio=None, duration=20.0,
          step=0.005, iterations=200, threads=0, progress=None):
    """A record compatible with ``target`` under ``rule``, as ``accelspec-cli match``.

    ``seed``: a :class:`Record`, or an array with ``dt`` (s); without one the program's sine
    sweep of ``duration`` s at ``step`` s. ``progress(iteration, lowest, highest)`` is called
    after each iteration; Ctrl+C (KeyboardInterrupt) or an exception from ``progress`` stops
    the run. Returns :class:`MatchResult`.

    Подбор записи, совместимой с целевым спектром: по записи seed или синусоидальной развёртке.
    """
    t = globals()["target"](target)
    opt = [None if v is None else float(v) for v in (t1, tmin, tmax, fmin, fmax, min_ratio)]
    return MatchResult(_core.match(t, seed, None if dt is None else float(dt), str(rule),
                                   float(damping), str(quantity), *opt, float(duration),
                                   float(step), int(iterations), int(threads), progress))
