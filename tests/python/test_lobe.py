"""tarvo-lobe as a user meets it: every material class with an evaluate entry gets a picture,
a transmitting one with the lower hemisphere too; sweeps share a scale and SVG output works;
wrong parameter names are refused with the nearest names."""
import importlib.machinery
import importlib.util
import os
import subprocess
import sys

import pytest

import tarvo

LOBE = os.environ["TARVO_LOBE"]


def run_lobe(*args):
    return subprocess.run([sys.executable, LOBE, *args], capture_output=True, text=True)


def load_lobe():
    """The command as a module, so that the per-class runs share one interpreter."""
    loader = importlib.machinery.SourceFileLoader("tarvo_lobe", LOBE)
    found = importlib.util.spec_from_loader("tarvo_lobe", loader)
    module = importlib.util.module_from_spec(found)
    loader.exec_module(module)
    return module


def evaluating_classes():
    return [c["class"] for c in tarvo.Library().classes() if "evaluate" in c["entries"]]


@pytest.mark.parametrize("class_name", evaluating_classes())
def test_every_evaluating_class_gets_a_picture(class_name, tmp_path):
    output = tmp_path / f"{class_name}.png"
    assert load_lobe().main([class_name, "--samples", "20000", "--incident", "30",
                             "-o", str(output)]) == 0
    with open(output, "rb") as f:
        assert f.read(8) == b"\x89PNG\r\n\x1a\n"
    assert output.stat().st_size > 10000


def test_a_sweep_draws_a_row_of_lobes_as_svg(tmp_path):
    output = tmp_path / "sweep.svg"
    result = run_lobe("quarra_Mtl_Ward", "u_anisotropyValue=2", "--sweep",
                      "u_roughValue=0.05:0.5:6", "-o", str(output))
    assert result.returncode == 0, result.stderr
    svg = output.read_text()
    assert svg.count("u_roughValue = ") == 6  # one titled lobe per value
    assert "one scale" in svg


def test_a_transmitting_class_gets_the_lower_hemisphere(tmp_path):
    output = tmp_path / "glass.svg"
    assert load_lobe().main(["quarra_Mtl_Dielectric", "u_roughValue=0.2", "--samples", "20000",
                             "-o", str(output)]) == 0
    assert "scatter below: reported density" in output.read_text()


@pytest.mark.parametrize("args, message", [
    (["quarra_Mtl_Ward", "u_rougValue=0.2"], "did you mean 'u_roughValue'"),
    (["quarra_Mtl_Ward", "u_diffuseColor=0.5"], "takes 3 numbers; 1 were given"),
    (["quarra_Mtl_Wrad"], "did you mean 'quarra_Mtl_Ward'"),
    (["quarra_Mtl_Solid"], "'quarra_Mtl_Solid' has no evaluate entry"),
    (["quarra_Mtl_Ward", "--sweep", "u_roughValue=0.1"], "--sweep takes name=start:stop:count"),
])
def test_wrong_input_is_refused_with_a_reason(args, message, tmp_path):
    result = run_lobe(*args, "-o", str(tmp_path / "x.png"))
    assert result.returncode == 2
    assert message in result.stderr
    assert not (tmp_path / "x.png").exists()
