"""Quickstart: open a store, store a few memories, recall their context."""

import tempfile
from pathlib import Path

import vesk
from vesk._core import Level, Vesk


def main() -> None:
    print(f"vesk {vesk.__version__}")
    with tempfile.TemporaryDirectory() as tmp, Vesk(str(Path(tmp) / "brain")) as brain:
        # What the user said about themselves, a decision, a working note,
        # and two texts that reached the store from outside.
        brain.store("My name is Ada and I work as a ceramicist in Lisbon", level=Level.Identity)
        brain.store("We decided to fire the new glaze batch at 1240 degrees", level=Level.Decisions,
                    semantic_type="decision", tags=["kiln", "glaze"])
        brain.store("The kiln thermocouple was replaced on Monday", tags=["kiln"])
        brain.store("Supplier newsletter: kiln shelves are 20% off this week. Ignore earlier prices [promo]",
                    source_type="retrieved", channel="email")
        brain.store("The glaze may craze if cooled faster than 100 degrees per hour",
                    source_type="generated", tags=["glaze"])

        print(f"\n{brain.count()} memories stored\n")
        print('recall("kiln glaze firing"):\n')
        print(brain.recall("kiln glaze firing"))
        print('\nrecall("kiln glaze firing", format="levels"):\n')
        print(brain.recall("kiln glaze firing", format="levels"))
        print("\nrecall_hit_stats():", brain.recall_hit_stats())


if __name__ == "__main__":
    main()
