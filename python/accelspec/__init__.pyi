# SPDX-License-Identifier: MIT
# Type stubs of the accelspec package (the docstrings are in __init__.py).
from typing import Callable, Iterable, Literal, Sequence, overload

import numpy as np
import numpy.typing as npt

ArrayLike = npt.ArrayLike
FloatArray = npt.NDArray[np.float64]
QuantityName = Literal["psa", "sa", "sv", "psv", "sd"]
PeaksName = Literal["refined", "samples"]
RuleName = Literal["srp", "ec8", "asce7"]

DEFAULT_GRID: str
QUANTITIES: tuple[str, ...]
MEASURES: tuple[str, ...]

class Record:
    """A record read from a file: acceleration m/s², uniform step s."""
    @property
    def acc(self) -> FloatArray: ...
    dt: float
    format: str
    path: str
    name: str
    units: str
    warnings: list[str]
    @property
    def meta(self) -> dict[str, object]: ...
    def __len__(self) -> int: ...

class Target:
    """A target spectrum of pseudo-acceleration, m/s², callable at frequencies in Hz."""
    @overload
    def __call__(self, frequency: float, damping: float = 0.05) -> float: ...
    @overload
    def __call__(self, frequency: ArrayLike, damping: float = 0.05) -> FloatArray: ...
    @property
    def zero_period(self) -> float: ...
    text: str
    @property
    def kind(self) -> Literal["file", "ec8", "rg160"]: ...
    @property
    def description(self) -> str: ...
    @property
    def lowest_frequency(self) -> float: ...
    @property
    def highest_frequency(self) -> float: ...
    def supports_damping(self, damping: float) -> bool: ...

class Spectra(dict[tuple[str, float], FloatArray]):
    """s[quantity, damping] over s.freqs (Hz); values[damping, quantity, point]."""
    freqs: FloatArray
    periods: FloatArray
    values: FloatArray
    dampings: tuple[float, ...]
    quantities: tuple[str, ...]
    def csv(self) -> str: ...

class CheckItem:
    item: str
    record: str
    detail: str
    passed: bool
    kind: str

class CheckResult:
    passed: bool
    rule: str
    target: str
    records: list[str]
    items: list[CheckItem]
    table: np.ndarray  # fields frequency_hz, period_s, target, computed, ratio, judged
    record_ratios: FloatArray
    spectra: FloatArray
    text: str
    csv: str
    def __bool__(self) -> bool: ...

class MatchResult:
    acc: FloatArray
    dt: float
    passed: bool
    within_aim: bool
    lowest_ratio: float
    highest_ratio: float
    peak: float
    iterations: int
    aim_lowest: float
    aim_highest: float
    zero_period: float
    scale: float
    character: dict[str, float | bool] | None
    check: CheckResult | None
    def __bool__(self) -> bool: ...

RecordLike = Record | tuple[ArrayLike, float] | tuple[ArrayLike, float, str]

def read_record(path: str | bytes | object, format: str | None = None,
                units: str | None = None, step: float | None = None,
                channel: int = 1) -> Record: ...
def spectra(acc: ArrayLike, dt: float, grid: str | ArrayLike = "log:0.1:100:100",
            dampings: float | Iterable[float] = (0.05,),
            quantities: QuantityName | Iterable[QuantityName] = ("psa",),
            peaks: PeaksName = "refined", threads: int = 1) -> Spectra: ...
def rotd(acc1: ArrayLike, acc2: ArrayLike, dt: float, grid: str | ArrayLike = "log:0.1:100:100",
         dampings: float | Iterable[float] = (0.05,),
         quantities: QuantityName | Iterable[QuantityName] = ("psa",),
         peaks: PeaksName = "refined", percentile: Literal[50, 100] = 50,
         threads: int = 1) -> Spectra: ...
def measures(acc: ArrayLike, dt: float, peaks: PeaksName = "refined",
             threads: int = 1) -> dict[str, float]: ...
def target(spec: str | Target | ArrayLike, values: ArrayLike | None = None,
           name: str = "table") -> Target: ...
def check(records: RecordLike | Sequence[RecordLike], target: str | Target, rule: RuleName,
          damping: float = 0.05, quantity: Literal["psa", "sa"] = "psa",
          t1: float | None = None, tmin: float | None = None, tmax: float | None = None,
          fmin: float | None = None, fmax: float | None = None,
          min_ratio: float | None = None, peaks: PeaksName = "refined",
          threads: int = 0) -> CheckResult: ...
def baseline(acc: ArrayLike, dt: float) -> FloatArray: ...
def drift(acc: ArrayLike, dt: float) -> dict[str, float]: ...
def match(target: str | Target, seed: Record | ArrayLike | None = None, dt: float | None = None,
          rule: RuleName = "srp", damping: float = 0.05, quantity: Literal["psa", "sa"] = "psa",
          t1: float | None = None, tmin: float | None = None, tmax: float | None = None,
          fmin: float | None = None, fmax: float | None = None,
          min_ratio: float | None = None, duration: float = 20.0, step: float = 0.005,
          iterations: int = 200, threads: int = 0,
          progress: Callable[[int, float, float], object] | None = None) -> MatchResult: ...
