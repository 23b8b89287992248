"""Phase classifier and learning functions."""
