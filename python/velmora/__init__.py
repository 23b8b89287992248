"""velmora: carbon-nanotube synthesis on floating catalyst particles in a flow reactor."""
__version__ = "0.1.0"
