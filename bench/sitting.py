"""What the benchmarks that time Octave against a Python peer, each run in a
fresh process in alternating rounds, share: their command line (--data,
--octave, --rounds and any more) and their folders."""
import argparse
import os


def arguments(data_help, *more):
    """The parsed command line, this folder, the toolbox's folder and the
    data's full path. more: (flag, help) pairs of further required options."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", required=True, help=data_help)
    parser.add_argument("--octave", required=True, help="the Octave command, e.g. 'octave-cli --quiet'")
    for flag, text in more:
        parser.add_argument(flag, required=True, help=text)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    return args, here, os.path.join(os.path.dirname(here), "toolbox"), os.path.abspath(args.data)
