# The zlnetdrv package: a plain setuptools package with no build step, so pip
# builds it offline with the setuptools already installed.
from setuptools import setup

setup(
    name="zlnetdrv",
    version="1.101",
    description="Python host of the ZLNETDRV driver (Zavro controllers on a ZL2 line)",
    packages=["zlnetdrv"],
    package_data={"zlnetdrv": ["py.typed"]},
    python_requires=">=3.9",
    zip_safe=False,
)
