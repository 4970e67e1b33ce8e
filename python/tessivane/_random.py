"""Random deviates from a stream the caller owns."""

from . import _core


class Ran1:
    """A random stream of its own: uniform deviates of ran1, Gaussian ones of gasdev.

    Ran1(seed) gives, bit for bit, the deviates that ran1(&idum) and gasdev(&idum)
    give from idum = seed in a process that has not drawn before, for the same
    sequence of calls (gaussian() keeps the second deviate of each pair waiting).
    A non-negative seed starts from state 1, as ran1 does. The library's own
    process-wide ran1 and gasdev are not exposed.

    Thread safety: one stream per thread; a stream shared by threads is locked
    around each request, so their draws interleave in an unspecified order.
    """

    def __init__(self, seed=-1):
        self._stream = _core.Ran1Stream(seed)

    @staticmethod
    def _draw(one, many, size):
        if size is None:
            return one()
        return many(size if isinstance(size, tuple) else (size,))

    def uniform(self, size=None):
        """Uniform deviates in (0, 1): a float for size=None, else a float32 array of that shape."""
        return self._draw(self._stream.uniform, self._stream.uniforms, size)

    def gaussian(self, size=None):
        """Standard normal deviates: a float for size=None, else a float32 array of that shape."""
        return self._draw(self._stream.gaussian, self._stream.gaussians, size)

    def reseed(self, seed):
        """As passing a new idum to ran1: a negative seed restarts on the next draw."""
        self._stream.reseed(seed)

    @property
    def idum(self):
        """The value ran1's idum would hold now."""
        return self._stream.idum
